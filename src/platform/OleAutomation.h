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
// word processor, as a new untitled document where the word processor allows it. The text goes
// through a file of mode 0600 in a folder made for this process (mode 0700, in the user's runtime
// folder when that is private); the folder and its files go when the program ends. Creating the
// object raises OLEException when no word processor can be found.
class WordApplication : public OLEObject {
public:
    WordApplication();

    // The word-processor program the bridge starts; empty when none is installed. The test seam
    // replaces the search ("" stands for none installed; nullopt restores the search).
    static QString wordProcessor();
    static void setWordProcessorOverride(std::optional<QString> program);

    // Removes the documents this process wrote, through the folders it made for them (open
    // descriptors, never a path that may lead elsewhere by now), and each folder while its path still
    // names it. A folder that stopped being private at its path is given up for a new one and goes
    // the same way. Runs when the program ends (also when the application object goes); a later
    // document makes a new folder.
    static void removeDocuments();
    // The documents folder; "" while there is none.
    static QString documentsFolderPath();
};

} // namespace fw
