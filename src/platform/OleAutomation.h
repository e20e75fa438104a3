#pragma once

#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <stdexcept>

namespace fw {

// A failure of the automation bridge; Message tells what went wrong.
class OLEException : public std::runtime_error {
public:
    explicit OLEException(const QString& message);
    QString Message() const { return message_; }

private:
    QString message_;
};

namespace ole {
struct Node;
}

// A late-bound automation object: members are looked up and assigned by name. Unknown members and
// failures of the server raise OLEException.
class OLEObject {
public:
    OLEObject() = default;

    bool isNull() const { return !node_; }
    // Looks up the member called name (the argument list is accepted for the call's form and unused).
    OLEObject Get(const QString& name, const QVariantList& arguments = {}) const;
    // Assigns value to the member called name.
    void Set(const QString& name, const QVariant& value, const QVariantList& arguments = {}) const;

protected:
    explicit OLEObject(std::shared_ptr<ole::Node> node)
        : node_(std::move(node))
    {
    }
    std::shared_ptr<ole::Node> node_;
};

// The automation server "Word.Application", bridged to the system's word processor: documents are
// collected while they are built, and setting "Visible" to true opens each finished document in the
// word processor, as a new untitled document where the word processor allows it (LibreOffice; AbiWord
// opens the file itself). An empty document needs no file: the word processor starts on a new empty
// document of its own. Creating the object raises OLEException when no word processor can be found.
//
// The text goes through a file of mode 0600 in a folder made for this process (mode 0700, in the
// user's runtime folder when that is private, else in the temporary folder). The word processor is
// started detached, in a session of its own, and reads the file when it is ready, which may be after
// the program has ended, so a document is removed only once it is known that the word processor has
// read it. The folder is watched, which tells that someone opened or read a document but never who:
// on each open or read the processes of the word processor's session (it and what it started) are
// looked through for one holding the document, open or mapped. A document counts as read once such a
// process was seen holding it, every open seen was closed again after a read, and nothing more of it
// was seen for a settle time (a reader may open a file twice: once to tell its type, once to load
// it). Another program's read counts for nothing (an indexer, a virus scanner, a word processor
// already running that takes the file over from the one started). Whatever cannot be told (no watch,
// events lost, a read too quick to be seen) stays. Only a word processor that makes a new document of
// the file is done with it then; one that opens the file itself keeps it as its document.
//
// A document that another program has written into, or put another file in place of (a word
// processor that opened the file itself saves there), holds the user's work: it is never removed.
class WordApplication : public OLEObject {
public:
    // Nothing of a read document seen for this long: its reader is done with it.
    static constexpr int SettleTimeMs = 10'000;
    // A document left behind this long ago has been had by any reader that was going to read it.
    static constexpr qint64 LeftDocumentAgeSeconds = 24 * 60 * 60;
    // A document as this bridge leaves it has these nanoseconds in its last-written time, which lies a
    // second or more before its last change; whoever writes into it, or puts another file at its
    // name, leaves other times, so that a later start can tell it from the user's work.
    static constexpr long WrittenMarkNs = 777'777'777;

    WordApplication();

    // The word-processor program the bridge starts; empty when none is installed. The test seam
    // replaces the search ("" stands for none installed; nullopt restores the search).
    static QString wordProcessor();
    static void setWordProcessorOverride(std::optional<QString> program);
    // Test seam: the settle time in milliseconds in place of SettleTimeMs; nullopt restores it.
    static void setSettleTimeOverride(std::optional<int> ms);

    // Ends this process's hold on its documents (the program's end; also when the application object
    // goes). A document read as above, still the very file this bridge wrote, untouched since, and
    // held by no process (open or mapped, as far as every process that can be looked into shows
    // within half a second) is removed through its folder's open descriptor (never through a path
    // that may lead elsewhere by now); any other stays in its folder (for a later start to remove,
    // unless it is the user's), and so does the folder. A folder left empty goes while its path still
    // names it. A folder that stopped being private at its path was given up for a new one and goes
    // the same way. A later document makes a new folder.
    static void removeDocuments();
    // The documents folder; "" while there is none.
    static QString documentsFolderPath();

    // Every folder in which a run may have made its documents folder, whatever its environment was:
    // the runtime folder named now and the user's usual one, the temporary folder named now and
    // "/tmp"; only those that exist, each once. The test seam replaces the list (nullopt restores it).
    static QStringList documentPlaces();
    static void setDocumentPlacesOverride(std::optional<QStringList> places);
    // Test seam: removeLeftDocuments takes the time as this many seconds later than the clock tells
    // (a later start); nullopt restores the clock.
    static void setSweepClockAheadOverride(std::optional<qint64> seconds);
    // Removes what earlier runs left behind in places: in each documents folder there that is private
    // to the user, the documents (by their names, regular files of the user's, as this bridge left
    // them) last written at least LeftDocumentAgeSeconds ago, through the folder's descriptor; then
    // the folder itself when that left it empty and nothing had been added to it or taken from it for
    // as long either. Nothing else is touched, and nothing is followed through a link. The folders of
    // this process are left alone. Linear in the entries of the places and of the folders found.
    static void removeLeftDocuments(const QStringList& places = documentPlaces());
};

} // namespace fw
