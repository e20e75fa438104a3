#include "platform/OleAutomation.h"

#include "platform/Shell.h"
#include "platform/SystemCalls.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

OLEException::OLEException(const QString& message)
    : std::runtime_error(message.toStdString())
    , message_(message)
{
}

namespace ole {

// One object of the bridged server. Member names are matched without regard to case, as
// automation servers do.
struct Node {
    enum Kind { Application, Documents, Document, Range };
    Kind kind;
    std::weak_ptr<Node> application;
    std::shared_ptr<Node> document; // the document a range belongs to
    QString text;
    bool opened = false;
    std::vector<std::shared_ptr<Node>> documents; // application: every document added
};

} // namespace ole

namespace {

std::optional<QString> overrideProgram;

bool is(const QString& name, const char* member)
{
    return name.compare(QLatin1String(member), Qt::CaseInsensitive) == 0;
}

[[noreturn]] void unknownMember(const QString& name)
{
    throw OLEException(QStringLiteral("Unknown name \"%1\"").arg(name));
}

// Where the word processor allows it, the text opens as a new untitled document, so that saving
// asks for a name instead of writing into the temporary folder.
QStringList argumentsFor(const QString& program, const QString& file)
{
    const QString base = QFileInfo(program).fileName();
    if (base == QLatin1String("libreoffice") || base == QLatin1String("soffice"))
        return {QStringLiteral("--writer"), QStringLiteral("-n"), file};
    if (base == QLatin1String("lowriter"))
        return {QStringLiteral("-n"), file};
    return {file};
}

// A folder this process made for its documents, held open: the documents are written, and at the end
// removed, through this descriptor, so that nothing is followed to wherever the folder's path leads
// by then (in a temporary folder others can write, someone may rename the folder and put a link in
// its place).
struct DocumentsFolder {
    QByteArray path;
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
    std::vector<QByteArray> files; // the names of the documents written into it
};

// The folder new documents go to (fd -1 until the first document and after removal), and the
// folders of this run that were given up because they were no longer private at their path.
DocumentsFolder currentFolder;
std::vector<DocumentsFolder> formerFolders;

// True while folder's path names the very folder made, still private.
bool isStillPrivate(const DocumentsFolder& folder)
{
    struct stat info {};
    return folder.fd >= 0 && ::lstat(folder.path.constData(), &info) == 0 && info.st_dev == folder.device
           && info.st_ino == folder.inode && isPrivateFolder(info) && ::fstat(folder.fd, &info) == 0
           && isPrivateFolder(info);
}

// Removes the documents written into folder through its descriptor, then the folder itself when its
// path still names it (rmdir never follows a link and takes only an empty folder), and closes it.
void removeFolder(DocumentsFolder& folder)
{
    if (folder.fd < 0)
        return;
    for (const QByteArray& name : folder.files)
        ::unlinkat(folder.fd, name.constData(), 0);
    struct stat info {};
    if (::lstat(folder.path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_dev == folder.device
        && info.st_ino == folder.inode)
        ::rmdir(folder.path.constData());
    ::close(folder.fd);
    folder = DocumentsFolder();
}

// Makes the process's own documents folder, mode 0700, in the user's runtime folder when that is
// private, else in the temporary folder. The name is new (mkdtemp), so a folder or link that someone
// made beforehand is never used.
DocumentsFolder makeDocumentsFolder()
{
    QByteArray base = privateRuntimeFolder();
    if (base.isEmpty())
        base = QFile::encodeName(QDir::tempPath());
    DocumentsFolder folder;
    folder.path = base + "/numbers-as-words-documents-XXXXXX";
    if (!::mkdtemp(folder.path.data())) {
        throw OLEException(QStringLiteral("cannot create a folder for the document in \"%1\": %2")
                               .arg(QFile::decodeName(base), systemError(errno)));
    }
    folder.fd = ::open(folder.path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (folder.fd >= 0 && ::fstat(folder.fd, &info) == 0) {
        folder.device = info.st_dev;
        folder.inode = info.st_ino;
        ::fchmod(folder.fd, 0700); // mkdtemp's mode, unless a umask took the owner's bits too
    }
    if (!isStillPrivate(folder)) {
        const QString shown = QFile::decodeName(folder.path);
        // What was made goes again; a folder that the path names but that is not this user's stays.
        if (folder.fd < 0)
            ::rmdir(folder.path.constData());
        else if (info.st_uid == ::getuid())
            removeFolder(folder);
        else
            ::close(folder.fd);
        throw OLEException(QStringLiteral("the folder \"%1\" is not private").arg(shown));
    }
    static bool removalRegistered = false;
    if (!std::exchange(removalRegistered, true))
        qAddPostRoutine(&WordApplication::removeDocuments);
    return folder;
}

// Writes the text into a new file of mode 0600 in the documents folder; returns the file's path.
QString writeDocument(const QString& text)
{
    // Every document gets a file of its own, also several within one second.
    static int sent = 0;
    if (!isStillPrivate(currentFolder)) {
        if (currentFolder.fd >= 0)
            formerFolders.push_back(std::exchange(currentFolder, DocumentsFolder()));
        currentFolder = makeDocumentsFolder();
    }
    const QByteArray name = "Report " + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1()
                            + '-' + QByteArray::number(++sent) + ".txt";
    const QString shown = QFile::decodeName(currentFolder.path + '/' + name);
    // Never an entry that is there already, be it a file or a link.
    const int fd = ::openat(currentFolder.fd, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            0600);
    if (fd < 0)
        throw OLEException(QStringLiteral("cannot write \"%1\": %2").arg(shown, systemError(errno)));
    currentFolder.files.push_back(name);
    int error = writeAll(fd, text.toUtf8());
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlinkat(currentFolder.fd, name.constData(), 0);
        currentFolder.files.pop_back();
        throw OLEException(QStringLiteral("cannot write \"%1\": %2").arg(shown, systemError(error)));
    }
    return shown;
}

// Writes a finished document where the word processor can read it and starts the word processor on
// it, detached, so that it outlives the report window and the program.
void openInWordProcessor(ole::Node& document)
{
    const QString program = WordApplication::wordProcessor();
    if (program.isEmpty())
        throw OLEException(QStringLiteral("no word processor is installed"));
    const QString file = writeDocument(document.text);
    QString reason;
    if (!startDetached(program, argumentsFor(program, file), &reason))
        throw OLEException(QStringLiteral("cannot start \"%1\": %2").arg(program, reason));
}

} // namespace

OLEObject OLEObject::Get(const QString& name, const QVariantList&) const
{
    if (!node_)
        throw OLEException(QStringLiteral("The object is not connected to a server"));
    switch (node_->kind) {
    case ole::Node::Application:
        if (is(name, "Documents")) {
            auto documents = std::make_shared<ole::Node>(ole::Node{ole::Node::Documents, node_, {}, {}, false, {}});
            return OLEObject(documents);
        }
        break;
    case ole::Node::Documents:
        if (is(name, "add")) {
            auto app = node_->application.lock();
            auto document = std::make_shared<ole::Node>(ole::Node{ole::Node::Document, app, {}, {}, false, {}});
            if (app)
                app->documents.push_back(document);
            return OLEObject(document);
        }
        break;
    case ole::Node::Document:
        if (is(name, "range"))
            return OLEObject(std::make_shared<ole::Node>(ole::Node{ole::Node::Range, {}, node_, {}, false, {}}));
        break;
    case ole::Node::Range:
        break;
    }
    unknownMember(name);
}

void OLEObject::Set(const QString& name, const QVariant& value, const QVariantList&) const
{
    if (!node_)
        throw OLEException(QStringLiteral("The object is not connected to a server"));
    if (node_->kind == ole::Node::Range && is(name, "Text")) {
        node_->document->text = value.toString();
        return;
    }
    if (node_->kind == ole::Node::Application && is(name, "Visible")) {
        if (!value.toBool())
            return;
        for (const auto& document : node_->documents) {
            if (!document->opened) {
                openInWordProcessor(*document);
                document->opened = true;
            }
        }
        return;
    }
    unknownMember(name);
}

WordApplication::WordApplication()
    : OLEObject(std::make_shared<ole::Node>(ole::Node{ole::Node::Application, {}, {}, {}, false, {}}))
{
    if (wordProcessor().isEmpty()) {
        throw OLEException(QStringLiteral(
            "Word.Application is not available: no word processor was found (looked for libreoffice, soffice, "
            "lowriter and abiword)"));
    }
}

QString WordApplication::wordProcessor()
{
    if (overrideProgram)
        return *overrideProgram;
    for (const char* name : {"libreoffice", "soffice", "lowriter", "abiword"}) {
        const QString found = QStandardPaths::findExecutable(QLatin1String(name));
        if (!found.isEmpty())
            return found;
    }
    return {};
}

void WordApplication::removeDocuments()
{
    for (DocumentsFolder& folder : formerFolders)
        removeFolder(folder);
    formerFolders.clear();
    removeFolder(currentFolder);
}

QString WordApplication::documentsFolderPath()
{
    return QFile::decodeName(currentFolder.path);
}

void WordApplication::setWordProcessorOverride(std::optional<QString> program)
{
    overrideProgram = std::move(program);
}

} // namespace fw
