#pragma once

#include <QAccessibleWidget>

namespace fw {

class TextPane;

// What assistive tools see of a TextPane: an editable text (its state read-only, and without the
// editing interface, in a read-only pane), its text as value, and the text interface with caret,
// selection, characters at offsets and their places on the screen. Offsets are UTF-16 units, as in
// Qt's own text controls. Every answer costs what it returns: a text, a value, a line, a word or a
// sentence is taken from the text around the offset asked for, never from a copy of the whole, and
// holds at most TextPane::MaxAccessibleUnits (a longer line comes as that much around the offset);
// words and sentences are looked for within a few thousand units of the offset.
//
// Lifetime: Qt's accessibility cache creates one for a pane when a tool first asks and deletes it
// with the pane. The pane's viewport is not a child of its own: the scroll bars in view are.
class TextPaneAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface {
public:
    explicit TextPaneAccessible(TextPane* pane);

    // Makes Qt's accessibility ask this class for every TextPane; once per process.
    static void install();

    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;
    void* interface_cast(QAccessible::InterfaceType t) override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

    // Text interface.
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                             int* endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                            int* endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                         int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    // Editable text interface: edits by the tool go through the pane's edit filter and undo, as typing does.
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString& text) override;
    void replaceText(int startOffset, int endOffset, const QString& text) override;

private:
    struct Segment {
        int from;
        int to;
    };

    TextPane* pane() const;
    int clampOffset(int offset) const;
    int askedOffset(int offset) const;
    Segment segmentAt(int offset, QAccessible::TextBoundaryType type) const;
    QString answer(Segment segment, int offset, int* startOffset, int* endOffset) const;
    QList<QWidget*> scrollBars() const;
};

} // namespace fw
