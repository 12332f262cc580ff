#pragma once

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

class DocumentHost;
class frmNotePad;

// The main file of a document, as the document last loaded or saved it,
// watched for what other programs do to it. Each change is told once, while
// the document is the active one and no modal window is open: a changed file
// may be reloaded, a deleted one leaves the document modified, so that it is
// written again.
class WatchedFile : public QObject
{
    Q_OBJECT

public:
    WatchedFile(frmNotePad &document, DocumentHost &host);

    // Watches path from now on, the file as it is on disk now being the
    // document's own; an empty path watches nothing.
    void setPath(const QString &path);
    // The document has become the active one.
    void documentActivated();
    // Whether a save may write over path: asks first when another program
    // has changed it since the document loaded or saved it.
    bool mayOverwrite(const QString &path);

private:
    // What tells one state of a file from another.
    struct Stamp
    {
        bool exists = false;
        qint64 size = -1;
        QDateTime modified;
        // The file's identity: a file put in its place is another one.
        quint64 device = 0;
        quint64 inode = 0;
        QDateTime metadataChanged;
        bool operator==(const Stamp &) const = default;
    };
    static Stamp stampOf(const QString &path);

    void notified();
    void tell();
    void reload();

    frmNotePad &m_document;
    DocumentHost &m_host;
    QFileSystemWatcher m_watcher;
    QTimer m_tellTimer;
    QString m_path;
    Stamp m_own;
    // The change the user was last told about.
    Stamp m_told;
};
