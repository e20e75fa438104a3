#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

using IntList = std::vector<qint32>;
using IntListRef = std::shared_ptr<IntList>;
using StringListRef = std::shared_ptr<QStringList>;

// The in/out record of a modal child window. The caller fills it and calls the child's initialize;
// the child sets userCancel, and only its confirming button clears it and writes the answer.
// Text is held by value; both lists are held by reference, never copied: a list handed in with a
// setter is the very list a getter returns, so a change made through either holder shows in both.
class CC_genericTransportObject {
public:
    void setStringData(const QString& text) { strData = text; }
    QString getStringData() const { return strData; }
    void setUserCancel(bool cancel) { userCancel = cancel; }
    bool getUserCancel() const { return userCancel; }
    StringListRef getStringArray() const { return strArray; }
    void setStringArray(StringListRef list);
    IntListRef getIntArray() const { return intArray; }
    void setIntArray(IntListRef list);

private:
    QString strData;
    bool userCancel = false;
    StringListRef strArray = std::make_shared<QStringList>();
    IntListRef intArray = std::make_shared<IntList>();
};
