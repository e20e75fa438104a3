#pragma once

#include "platform/Control.h"
#include "platform/TextPane.h"

#include <QColor>

#include <functional>
#include <memory>
#include <utility>

namespace fw {

// An edit field: one line, or many lines with styled runs. Every position and length is counted in
// characters (Unicode code points), also where Qt counts UTF-16 units. A multi-line field holds its
// line ends as "\n": "\r\n" and a lone "\r" in text set or appended become "\n" (also a "\r" that
// ends one append and a "\n" that starts the next: one line end). A single-line field keeps its
// text exactly as set, typed or pasted.
//
// Both kinds are a TextPane, which lays out only what is visible. A multi-line field holds reports of
// millions of lines and appends in time of the appended text. Its lines never wrap; appending keeps
// the caret, the selection and the scroll position; setting the selection from code scrolls it into
// view. A single-line field is the pane's single-line mode: it takes a line of any length (a pasted
// list of megabytes) and typing, moving the caret, painting and the blinking caret cost what the
// field shows, not what it holds. Line ends in its text stay there, shown on the one line as marks.
class EditField : public Control {
public:
    explicit EditField(bool multiLine = false);
    ~EditField() override;

    QString Text() const;
    // Raises TextChange, whatever the mask allows for typing.
    void setText(const QString& text);
    // Adds text at the end without rewriting what is there (multi-line fields); raises TextChange.
    void AppendText(const QString& text);
    int TextLength() const;
    // Multi-line fields: show a shared text without copying it and follow its appends, raising
    // TextChange for each (TextPane::showSharedText); setText or AppendText ends the sharing.
    void showSharedText(std::shared_ptr<const SharedText> text);
    bool showsSharedText(const SharedText& text) const;

    int SelStart() const;
    // Puts the caret at a character position; the selection becomes empty.
    void setSelStart(int position);
    int SelLength() const;
    // Selects length characters from SelStart.
    void setSelLength(int length);
    QString SelText() const;

    // Single-line fields: "#" places accept one decimal digit each. The mask limits the user's edits
    // only: typing that leaves anything else is refused, and text from outside (a paste, a middle
    // click, a drop, an assistive tool) keeps its digits, up to the places left.
    QString Mask() const { return mask_; }
    void setMask(const QString& mask);
    void setReadOnly(bool readOnly);
    // 0 default (left), 1 left, 2 centre, 3 right.
    void setAlignment(int alignment);
    void setBorder(bool border);
    void setBackColor(QColor color);
    // Single-line fields: a short text (up to 64 UTF-16 units) too wide for the field's margins is
    // drawn whole, from its first character, over the whole width inside the frame, and where that is
    // too narrow, in a narrower font of the same family, the largest that shows it (a narrower stretch
    // down to half the width, then a smaller size); it takes the field's own font and margins again
    // once it fits them. The field keeps its place and size. This holds after every change of the text,
    // the font, the size and the focus. Longer texts scroll as in any field.
    void setShowWhole(bool whole);

    // Multi-line fields: first visible line, line of a character position, text size of the whole field.
    int ScrollPosition() const;
    void setScrollPosition(int line);
    // Multi-line fields: how far the view is scrolled sideways (TextPane::sideScroll); 0 in a single-line field.
    int SideScroll() const;
    void setSideScroll(int position);
    int LineNumAtCharPos(int position) const;
    int TextSize() const;
    void setTextSize(int size);
    // Later runs replace what earlier runs styled in their range; setText drops all runs.
    void setStyleRun(int start, int length, const TextStyle& style);
    // Multi-line fields: style over length characters from each offset of a shared, ascending list,
    // as that many runs would, without a copy or a cost per offset (TextPane::addStyleLayer).
    void addStyleLayer(std::shared_ptr<const TextPane::Offsets> starts, int length, const TextStyle& style);
    // Before the owner of such a list changes it (TextPane::detachStyleLayers).
    void detachStyleLayers(const TextPane::Offsets* starts);

    std::function<void(EditField&)> TextChange;
    std::function<bool(EditField&, const QString& key)> KeyDown;
    std::function<bool(EditField&, int x, int y)> MouseDown;
    std::function<void(EditField&, int x, int y)> MouseMove;
    std::function<bool(EditField&, int x, int y, int deltaX, int deltaY)> MouseWheel;
    std::function<void(EditField&)> SelChange;

    TextPane* textPane() const { return pane_; }

protected:
    void applyTextColor() override;
    void applyFont() override;

private:
    class Filter;
    void raiseTextChange();
    void fitFont();
    bool maskAllows(int from, int to, const QString& with) const;
    QString maskKept(int from, int to, const QString& text) const;

    bool multiLine_;
    TextPane* pane_ = nullptr;
    std::unique_ptr<Filter> filter_;
    QString mask_;
    int maskDigits_ = 0;
    int textSize_ = 0;
    bool showWhole_ = false;
};

} // namespace fw
