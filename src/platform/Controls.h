#pragma once

#include "platform/Control.h"

#include <QStringList>

#include <any>
#include <functional>

class QAbstractItemModel;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListView;
class QProgressBar;
class QPushButton;
class QSlider;
class QStackedWidget;
class QTimer;
class QToolButton;
class QMenu;

namespace fw {

class ButtonWidget;
class FitLabel;
class Graphics;

// Events raised by assignment: setting a value from code (CheckBox::setValue, EditField::setText,
// PopupMenu::setListIndex, Slider::setValue) raises the control's event at once, nested, before the
// setter returns, exactly as a user's change does, and it does so also when the value is unchanged.
// A user's change raises the same event once.

// A text that does not fit its label on one line is drawn whole in a smaller font, never cut; a
// multi-line label wraps instead.
class StaticText : public Control {
public:
    StaticText();
    QString Text() const;
    void setText(const QString& text);
    // 0 left, 1 centre, 2 right.
    void setTextAlign(int align);
    void setMultiLine(bool multiLine);

protected:
    void applyFont() override;

private:
    FitLabel* label_;
};

// Captions, like every text the layer shows, appear as given: "&" marks no shortcut. A caption too wide
// for its button is drawn cut with "…"; Caption() is always the whole text.
class PushButton : public Control {
public:
    PushButton();
    QString Caption() const;
    void setCaption(const QString& caption);
    // Presses the button as a click does: raises Action when the button and every control around it
    // are enabled. Space on the focused button presses it too, and so do Return and Enter where the
    // window has a default button (Window).
    void Push();

    std::function<void(PushButton&)> Action;

private:
    ButtonWidget* button_;
};

class CheckBox : public Control {
public:
    CheckBox();
    QString Caption() const;
    void setCaption(const QString& caption);
    bool Value() const;
    void setValue(bool value);

    std::function<void(CheckBox&)> Action;

private:
    QCheckBox* box_;
    bool settingValue_ = false;
};

class GroupBox : public Control {
public:
    GroupBox();
    QString Caption() const;
    void setCaption(const QString& caption);

private:
    QGroupBox* group_;
};

// A canvas paints through its Paint event; subclasses override Paint, users may bind onPaint instead.
class Canvas : public Control {
public:
    Canvas();
    virtual void Paint(Graphics& g);

    std::function<void(Canvas&, Graphics&)> onPaint;
};

class Rectangle : public Control {
public:
    Rectangle();
    void setFillColor(QColor color);
    void setBorder(int width, QColor topLeft, QColor bottomRight);

    QColor fillColor;
    QColor borderTopLeft = Qt::black;
    QColor borderBottomRight = Qt::black;
    int borderWidth = 1;
};

// A line between two points in window coordinates.
class Line : public Control {
public:
    Line();
    void setLine(int x1, int y1, int x2, int y2, int borderWidth, QColor color);

    int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
    int BorderWidth = 1;
    QColor LineColor = Qt::black;
};

// A timer placed on a window; it stops when its window closes. Mode 0 off, 1 single, 2 multiple.
class Timer : public Control {
public:
    Timer();
    ~Timer() override;
    int Mode() const { return mode_; }
    void setMode(int mode);
    int Period() const { return period_; }
    void setPeriod(int periodMs);

    std::function<void(Timer&)> Action;

private:
    void restart();
    QTimer* timer_;
    int mode_ = 2;
    int period_ = 1000;
};

class PopupMenu : public Control {
public:
    PopupMenu();
    void AddRow(const QString& text);
    int ListCount() const;
    QString List(int row) const;
    QString Text() const;
    int ListIndex() const;
    void setListIndex(int row);
    // Each row may own a value; it lives as long as the row.
    const std::any& RowTag(int row) const;
    void setRowTag(int row, std::any tag);

    std::function<void(PopupMenu&)> Change;

private:
    QComboBox* combo_;
    std::vector<std::any> tags_;
    bool settingValue_ = false;
};

// Pages 0 .. PanelCount-1; only the controls of the current page show.
class PagePanel : public Control {
public:
    PagePanel();
    int PanelCount() const;
    void setPanelCount(int count);
    int Value() const;
    void setValue(int page);
    QWidget* childContainer(int page) const override;

private:
    QStackedWidget* stack_;
};

class Slider : public Control {
public:
    Slider();
    int Minimum() const;
    void setMinimum(int value);
    int Maximum() const;
    void setMaximum(int value);
    int Value() const;
    void setValue(int value);
    void setLineStep(int step);
    void setPageStep(int step);
    void setLiveScroll(bool live);

    std::function<void(Slider&)> ValueChanged;

private:
    QSlider* slider_;
    bool settingValue_ = false;
};

// Two small arrow buttons; they never take the keyboard focus. Assistive tools name the pair by the
// control's accessible name and each arrow by its own.
class UpDownArrows : public Control {
public:
    UpDownArrows();
    void PressUp();
    void PressDown();
    void setArrowNames(const QString& up, const QString& down);

    std::function<void(UpDownArrows&)> Up;
    std::function<void(UpDownArrows&)> Down;

private:
    QToolButton* up_;
    QToolButton* down_;
};

// A button that may carry a drop-down menu; choosing a menu row sets MenuValue and raises Action.
class BevelButton : public Control {
public:
    BevelButton();
    QString Caption() const;
    void setCaption(const QString& caption);
    // 0 left, 2 right; any other value centres the caption.
    void setCaptionAlign(int align);
    int CaptionAlign() const { return captionAlign_; }
    int HasMenu() const { return hasMenu_; }
    // A button with a menu (any kind but 0) shows the drop-down indicator.
    void setHasMenu(int kind);
    // Rows are taken as written, "-" included; separators are rows of their own kind.
    void AddRow(const QString& text);
    void AddSeparator();
    void InsertRow(int row, const QString& text);
    bool isSeparator(int row) const;
    void DeleteAllRows();
    int MenuRowCount() const { return int(menuRows_.size()); }
    QString MenuRow(int row) const;
    int MenuValue() const { return menuValue_; }
    void setMenuValue(int row) { menuValue_ = row; }
    // Clicks the button: with a menu, chooses the given menu row (or none with -1); without, raises Action.
    void Push(int menuRow = -1);

    std::function<void(BevelButton&)> Action;

private:
    struct MenuRowEntry {
        QString text;
        bool separator = false;
    };
    void clicked();
    ButtonWidget* button_;
    std::vector<MenuRowEntry> menuRows_;
    int captionAlign_ = 1;
    int hasMenu_ = 0;
    int menuValue_ = 0;
};

// Maximum 0 shows an indeterminate bar.
class ProgressBar : public Control {
public:
    ProgressBar();
    int Value() const;
    void setValue(int value);
    int Maximum() const;
    void setMaximum(int value);

private:
    QProgressBar* bar_;
};

} // namespace fw
