#pragma once

#include "editor/charsets.h"
#include "editor/textstore.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <thread>

class frmNotePad;
struct DraftJob;

// What a draft holds besides the text: enough to save the document as the
// lost one would have been saved.
struct DraftRecord
{
    QString caption;
    QStringList paths;
    TextFileFormat format;
};

// A draft read back: its file, and the text with each line's own line end;
// or, for a text kept in its file, that file, unchanged since, and the text
// as stretches of it and text between them.
struct LeftDraft
{
    QString file;
    DraftRecord record;
    QString text;
    QString source;
    TextFileFormat sourceFormat;
    std::vector<TextStore::Stretch> stretches;
};

// The unsaved text of one document, kept on disk while it has unsaved
// changes, so that a crash loses none of it. Written on a thread of its own
// from a snapshot of the text, a short time after typing pauses and at least
// every half minute during continuous typing.
class DocumentDraft : public QObject
{
    Q_OBJECT

public:
    explicit DocumentDraft(frmNotePad &document);
    ~DocumentDraft() override;

    // After every change of the text.
    void textChanged();
    // The document has no unsaved changes any more: its draft goes.
    void discard();
    // Writes the draft now (unless one is being written: then once it is).
    void writeNow();
    // The draft file of the document; a draft restored into it takes its
    // place.
    QString file() const;
    bool isWriting() const { return m_job != nullptr; }

signals:
    // A draft was written whole, or the write came to nothing.
    void written(bool ok);

private:
    void finished(bool ok, bool textMoved);

    frmNotePad &m_document;
    QTimer m_pause;
    QTimer m_longest;
    std::shared_ptr<DraftJob> m_job;
    std::thread m_worker;
    bool m_again = false;
};

// The drafts of this run, in a folder of their own that a lock marks as
// taken while the run lasts.
namespace Drafts {

// How long typing pauses before a draft is written, and the longest a
// changed text waits for one; tests shorten them.
extern int PauseMs;
extern int LongestMs;

// This run's folder, made and locked on first use.
QString runFolder();
// The drafts of runs that ended without closing their documents and that no
// running program holds. Drafts that cannot be read are named in unreadable
// and left where they are.
QList<LeftDraft> leftDrafts(QStringList &unreadable);
// Takes a left draft over as the draft of a document of this run.
bool adopt(const LeftDraft &draft, const QString &file);
// Deletes left drafts, and their runs' folders once empty.
void remove(const QList<LeftDraft> &drafts);
// The run ends normally: its folder goes.
void endRun();
void resetState();

} // namespace Drafts
