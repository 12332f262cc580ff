#include "document/draft.h"

#include "document/frmnotepad.h"
#include "editor/safefile.h"
#include "editor/textencode.h"
#include "editor/textstore.h"
#include "platform/richtextbox.h"
#include "shell/quillo.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>
#include <mutex>

// One write of a draft. Its commit and a discard of the draft go one after
// the other, so that a draft of a saved document never comes back.
struct DraftJob
{
    std::mutex mutex;
    bool discarded = false;
};

namespace {

constexpr QByteArrayView draftMagic = "QUILLORY-DRAFT 1\n";

// Unsaved text is its owner's alone, whatever the umask.
constexpr QFileDevice::Permissions privateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions privateFolder = privateFile | QFileDevice::ExeOwner;

enum class DraftOutcome { Written, TextMoved, Discarded, Failed };

struct Named
{
    const char *name;
    int value;
};

constexpr Named lineEndNames[] = {{"crlf", int(LineEnd::CrLf)}, {"lf", int(LineEnd::Lf)},
                                  {"cr", int(LineEnd::Cr)},     {"u+2029", int(LineEnd::ParagraphSeparator)},
                                  {"u+fdd0", int(LineEnd::Fdd0)}, {"u+fdd1", int(LineEnd::Fdd1)}};

template <size_t N>
QString nameOf(const Named (&names)[N], int value)
{
    for (const Named &named : names) {
        if (named.value == value)
            return QLatin1String(named.name);
    }
    return QString();
}

template <size_t N>
bool valueOf(const Named (&names)[N], const QString &name, int &value)
{
    for (const Named &named : names) {
        if (name == QLatin1String(named.name)) {
            value = named.value;
            return true;
        }
    }
    return false;
}

QByteArray header(const DraftRecord &record, const FileText *source)
{
    QJsonObject object;
    if (source) {
        QJsonObject file;
        file[QStringLiteral("path")] = source->path();
        file[QStringLiteral("bytes")] = QString::number(source->bytes());
        file[QStringLiteral("modified")] = QString::number(source->modified());
        file[QStringLiteral("encoding")] = encodingName(source->format());
        file[QStringLiteral("byteOrderMark")] = source->format().byteOrderMark;
        object[QStringLiteral("source")] = file;
    }
    object[QStringLiteral("caption")] = record.caption;
    object[QStringLiteral("paths")] = QJsonArray::fromStringList(record.paths);
    object[QStringLiteral("encoding")] = encodingName(record.format);
    object[QStringLiteral("byteOrderMark")] = record.format.byteOrderMark;
    object[QStringLiteral("lineEnd")] = nameOf(lineEndNames, int(record.format.lineEnd));
    return draftMagic.toByteArray() + QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

// A text kept in its file follows the record as stretches of the file,
// "F start length", and text, "T count" and that many UTF-16 LE code units,
// line ends as they are in files; the file must not have changed since.
bool readEdits(QFile &in, const QJsonObject &source, LeftDraft &draft)
{
    const QFileInfo file(source.value(QStringLiteral("path")).toString());
    if (!formatForEncoding(source.value(QStringLiteral("encoding")).toString(), draft.sourceFormat)
        || file.size() != source.value(QStringLiteral("bytes")).toString().toLongLong()
        || file.lastModified().toMSecsSinceEpoch() != source.value(QStringLiteral("modified")).toString().toLongLong())
        return false;
    draft.sourceFormat.byteOrderMark = source.value(QStringLiteral("byteOrderMark")).toBool();
    draft.source = file.filePath();
    while (!in.atEnd()) {
        const QList<QByteArray> fields = in.readLine(64).trimmed().split(' ');
        bool ok = fields.size() == 3 && fields[0] == "F";
        if (ok) {
            bool lengthOk = false;
            draft.stretches.push_back({fields[1].toLongLong(&ok), fields[2].toLongLong(&lengthOk), QString()});
            if (!ok || !lengthOk || draft.stretches.back().fileStart < 0)
                return false;
            continue;
        }
        const qsizetype count = fields.size() == 2 && fields[0] == "T" ? fields[1].toLongLong(&ok) : -1;
        if (!ok || count < 0)
            return false;
        QString text(count, Qt::Uninitialized);
        if (in.read(reinterpret_cast<char *>(text.data()), count * 2) != count * 2)
            return false;
        qFromLittleEndian<char16_t>(text.constData(), text.size(), text.data());
        if (draft.stretches.empty() || draft.stretches.back().fileStart >= 0)
            draft.stretches.push_back({});
        draft.stretches.back().text += text;
    }
    return true;
}

// The text follows the record as UTF-16 LE, each line with its own line
// end: every character a document can hold comes back as it was.
bool readDraft(const QString &file, LeftDraft &draft)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly) || in.readLine(64) != draftMagic)
        return false;
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(in.readLine(1 << 20), &error).object();
    TextFileFormat format;
    int lineEnd = 0;
    if (error.error != QJsonParseError::NoError || !object.value(QStringLiteral("caption")).isString()
        || !formatForEncoding(object.value(QStringLiteral("encoding")).toString(), format)
        || !valueOf(lineEndNames, object.value(QStringLiteral("lineEnd")).toString(), lineEnd))
        return false;
    format.byteOrderMark = object.value(QStringLiteral("byteOrderMark")).toBool();
    format.lineEnd = LineEnd(lineEnd);
    if (object.contains(QStringLiteral("source")) && !readEdits(in, object.value(QStringLiteral("source")).toObject(), draft))
        return false;
    const qint64 bytes = draft.source.isEmpty() ? in.size() - in.pos() : 0;
    if (bytes < 0 || bytes % 2 != 0)
        return false;
    QString text(bytes / 2, Qt::Uninitialized);
    if (in.read(reinterpret_cast<char *>(text.data()), bytes) != bytes)
        return false;
    qFromLittleEndian<char16_t>(text.constData(), text.size(), text.data());
    draft.file = file;
    draft.record.caption = object.value(QStringLiteral("caption")).toString();
    for (const QJsonValue &path : object.value(QStringLiteral("paths")).toArray())
        draft.record.paths << path.toString();
    draft.record.format = format;
    draft.text = std::move(text);
    return true;
}

DraftOutcome writeDraft(DraftJob &job, const QString &file, const QByteArray &record, const TextSnapshot &text,
                        bool fromFile)
{
    SafeFileWriter out;
    if (out.open(file, privateFile).failed())
        return DraftOutcome::Failed;
    out.write(record);
    if (text.file() && !fromFile) {
        // The file was written over by another program: what was typed is
        // all that is left of the text to keep.
        EncodedTextWriter writer(out, TextEncoding::Utf16LE);
        (void)text.readEdits([](qsizetype, qsizetype) {}, [&](QStringView typed) { writer.write(typed); },
                             [&](LineEnd typedEnd) { writer.writeLineEnd(typedEnd); });
        writer.flush();
    } else if (text.file()) {
        // Of a text kept in its file, only what was added is written.
        QByteArray units;
        const auto writeText = [&](QStringView part) {
            units.resize(part.size() * 2);
            qToLittleEndian<char16_t>(part.utf16(), part.size(), units.data());
            out.write(QByteArray("T ") + QByteArray::number(part.size()) + '\n');
            out.write(units);
        };
        if (!text.readEdits(
                [&](qsizetype start, qsizetype length) {
                    out.write(QByteArray("F ") + QByteArray::number(start) + ' ' + QByteArray::number(length) + '\n');
                },
                writeText, [&](LineEnd lineEnd) { writeText(lineEndText(lineEnd)); }))
            return DraftOutcome::Failed;
    } else {
        EncodedTextWriter writer(out, TextEncoding::Utf16LE);
        // A snapshot that ended leaves the temporary file uncommitted: the
        // draft before it stands.
        if (!text.read([&](QStringView part) { writer.write(part); }, [&](LineEnd lineEnd) { writer.writeLineEnd(lineEnd); }))
            return DraftOutcome::TextMoved;
        writer.flush();
    }
    const std::lock_guard<std::mutex> lock(job.mutex);
    if (job.discarded)
        return DraftOutcome::Discarded;
    return out.commit().ok() ? DraftOutcome::Written : DraftOutcome::Failed;
}

// A run's folder goes once it holds no draft: what a write cut short left
// there is of no use.
void forgetFolderIfDone(const QString &folder)
{
    if (QDir(folder).entryList({QStringLiteral("*.draft")}, QDir::Files).isEmpty())
        QDir(folder).removeRecursively();
}

QString draftsRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/drafts");
}

// Made the user's alone, or narrowed to that when an earlier run left it
// open to others, before anything more goes into it. One of another user's
// cannot be narrowed; what goes into it is private all the same.
void makePrivate(const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        (void)QDir().mkdir(folder, privateFolder);
    (void)QFile::setPermissions(folder, privateFolder);
}

constexpr QLatin1String lockName("run.lock");

bool lockRun(QLockFile &lock, const QString &folder)
{
    if (!lock.tryLock())
        return false;
    (void)QFile::setPermissions(folder + u'/' + lockName, privateFile);
    return true;
}

// This run's folder and the lock that marks it as taken.
struct Run
{
    QString folder;
    std::unique_ptr<QLockFile> lock;
};

Run &run()
{
    static Run current;
    return current;
}

bool isDocumentModified(const frmNotePad &document)
{
    const int slot = document.Tag().toInt();
    return slot > 0 && slot < Quillo::DocState.size() && !Quillo::DocState[slot].Free
           && Quillo::DocState[slot].Modified;
}

} // namespace

DocumentDraft::DocumentDraft(frmNotePad &document)
    : QObject(&document)
    , m_document(document)
{
    m_pause.setSingleShot(true);
    m_longest.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, &DocumentDraft::writeNow);
    connect(&m_longest, &QTimer::timeout, this, &DocumentDraft::writeNow);
}

DocumentDraft::~DocumentDraft()
{
    if (m_worker.joinable())
        m_worker.join();
}

QString DocumentDraft::file() const
{
    return Drafts::runFolder() + u'/' + m_document.Tag() + QStringLiteral(".draft");
}

void DocumentDraft::textChanged()
{
    if (!isDocumentModified(m_document))
        return;
    m_pause.start(Drafts::PauseMs);
    if (!m_longest.isActive())
        m_longest.start(Drafts::LongestMs);
}

void DocumentDraft::writeNow()
{
    m_pause.stop();
    m_longest.stop();
    if (!isDocumentModified(m_document) || !m_document.Text1) {
        discard();
        return;
    }
    if (m_job) {
        m_again = true;
        return;
    }
    m_again = false;
    const QString target = file();
    const DraftRecord record {m_document.Caption(), m_document.filePaths(), m_document.Text1->fileFormat()};
    auto job = std::make_shared<DraftJob>();
    m_job = job;
    if (m_worker.joinable())
        m_worker.join();
    const TextSnapshot snapshot = m_document.Text1->store().snapshot();
    const bool fromFile = snapshot.file() && !snapshot.file()->changed();
    m_worker = std::thread([this, job, target, bytes = header(record, fromFile ? snapshot.file().get() : nullptr),
                            text = snapshot, fromFile] {
        const DraftOutcome outcome = writeDraft(*job, target, bytes, text, fromFile);
        QMetaObject::invokeMethod(
            this, [this, outcome] { finished(outcome == DraftOutcome::Written, outcome == DraftOutcome::TextMoved); },
            Qt::QueuedConnection);
    });
}

void DocumentDraft::finished(bool ok, bool textMoved)
{
    if (m_worker.joinable())
        m_worker.join();
    m_job.reset();
    // A text edited away from where the snapshot was still being read is
    // written again at once; a draft that could not be written waits for
    // the next change.
    if (m_again || textMoved)
        QTimer::singleShot(0, this, &DocumentDraft::writeNow);
    emit written(ok);
}

void DocumentDraft::discard()
{
    m_pause.stop();
    m_longest.stop();
    m_again = false;
    if (run().folder.isEmpty())
        return;
    const QString target = file();
    if (m_job) {
        // The draft being written stops at once.
        if (m_document.Text1)
            m_document.Text1->store().endSnapshot();
        const std::lock_guard<std::mutex> lock(m_job->mutex);
        m_job->discarded = true;
        QFile::remove(target);
        return;
    }
    QFile::remove(target);
}

namespace Drafts {

int PauseMs = 2000;
int LongestMs = 30000;

QString runFolder()
{
    Run &current = run();
    if (current.folder.isEmpty()) {
        const QString folder = draftsRoot() + u'/' + QString::number(QCoreApplication::applicationPid()) + u'-'
                               + QString::number(QDateTime::currentMSecsSinceEpoch(), 36);
        QDir().mkpath(QFileInfo(draftsRoot()).path());
        makePrivate(draftsRoot());
        makePrivate(folder);
        auto lock = std::make_unique<QLockFile>(folder + u'/' + lockName);
        // Held as long as the program runs, however long that is.
        lock->setStaleLockTime(0);
        (void)lockRun(*lock, folder);
        current.folder = folder;
        current.lock = std::move(lock);
    }
    return current.folder;
}

QList<LeftDraft> leftDrafts(QStringList &unreadable)
{
    QList<LeftDraft> drafts;
    const QString own = run().folder;
    const QDir root(draftsRoot());
    if (root.exists())
        makePrivate(root.path());
    for (const QString &name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString folder = root.filePath(name);
        if (folder == own)
            continue;
        // A lock that another running program holds is not taken; one whose
        // program has gone is.
        QLockFile lock(folder + u'/' + lockName);
        lock.setStaleLockTime(0);
        if (!lockRun(lock, folder))
            continue;
        QStringList files = QDir(folder).entryList({QStringLiteral("*.draft")}, QDir::Files);
        std::sort(files.begin(), files.end(), [](const QString &a, const QString &b) {
            return a.section(u'.', 0, 0).toInt() < b.section(u'.', 0, 0).toInt();
        });
        for (const QString &file : files) {
            LeftDraft draft;
            if (readDraft(folder + u'/' + file, draft))
                drafts << std::move(draft);
            else
                unreadable << QDir::toNativeSeparators(folder + u'/' + file);
        }
        lock.unlock();
        forgetFolderIfDone(folder);
    }
    return drafts;
}

bool adopt(const LeftDraft &draft, const QString &file)
{
    QFile::remove(file);
    // A draft an earlier version left open to others is narrowed first.
    (void)QFile::setPermissions(draft.file, privateFile);
    if (!QFile::rename(draft.file, file))
        return false;
    forgetFolderIfDone(QFileInfo(draft.file).path());
    return true;
}

void remove(const QList<LeftDraft> &drafts)
{
    for (const LeftDraft &draft : drafts) {
        QFile::remove(draft.file);
        forgetFolderIfDone(QFileInfo(draft.file).path());
    }
}

void endRun()
{
    Run &current = run();
    if (current.folder.isEmpty())
        return;
    current.lock.reset();
    QDir(current.folder).removeRecursively();
    current.folder.clear();
}

void resetState()
{
    endRun();
    PauseMs = 2000;
    LongestMs = 30000;
}

} // namespace Drafts
