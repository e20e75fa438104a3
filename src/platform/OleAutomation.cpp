#include "platform/OleAutomation.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <vector>

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

QStringList argumentsFor(const QString& program, const QString& file)
{
    const QString base = QFileInfo(program).fileName();
    if (base == QLatin1String("libreoffice") || base == QLatin1String("soffice"))
        return {QStringLiteral("--writer"), file};
    return {file};
}

// Writes a finished document where the word processor can read it and starts the word processor on
// it, detached, so that it outlives the report window.
void openInWordProcessor(ole::Node& document)
{
    // Every document gets a file of its own, also several within one second.
    static int sent = 0;
    const QString program = WordApplication::wordProcessor();
    if (program.isEmpty())
        throw OLEException(QStringLiteral("no word processor is installed"));
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::TempLocation)
                           + QStringLiteral("/numbers-as-words-documents");
    if (!QDir().mkpath(folder))
        throw OLEException(QStringLiteral("cannot create the folder \"%1\"").arg(folder));
    const QString file = QStringLiteral("%1/Report %2-%3-%4.txt")
                             .arg(folder, QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")))
                             .arg(QCoreApplication::applicationPid())
                             .arg(++sent);
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(document.text.toUtf8()) < 0 || !out.commit())
        throw OLEException(QStringLiteral("cannot write \"%1\": %2").arg(file, out.errorString()));
    if (!QProcess::startDetached(program, argumentsFor(program, file)))
        throw OLEException(QStringLiteral("cannot start \"%1\"").arg(program));
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

void WordApplication::setWordProcessorOverride(std::optional<QString> program)
{
    overrideProgram = std::move(program);
}

} // namespace fw
