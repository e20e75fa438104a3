#pragma once

#include "platform/Controls.h"
#include "platform/EditField.h"

// The control arrays of the report window's search rows. Each array has a class of its own, made with
// the element number under which the window registers the element; element k stands on search row k,
// except the "-" buttons, whose element j stands on row j + 1. Handlers bound to an array read the
// sending element's Index.
template <class Base>
class SearchRowElement : public Base {
public:
    explicit SearchRowElement(int index)
        : element(index)
    {
    }
    const int element;
};

class ST_searchTotal : public SearchRowElement<fw::StaticText> {
public:
    using SearchRowElement::SearchRowElement;
};

class ST_searchShowingLeft : public SearchRowElement<fw::StaticText> {
public:
    using SearchRowElement::SearchRowElement;
};

class ST_searchShowingRight : public SearchRowElement<fw::StaticText> {
public:
    using SearchRowElement::SearchRowElement;
};

class ST_searchColorLabel : public SearchRowElement<fw::StaticText> {
public:
    using SearchRowElement::SearchRowElement;
};

class UDA_srchUpDnLeft : public SearchRowElement<fw::UpDownArrows> {
public:
    using SearchRowElement::SearchRowElement;
};

class UDA_srchFirstLastLeft : public SearchRowElement<fw::UpDownArrows> {
public:
    using SearchRowElement::SearchRowElement;
};

class UDA_srchUpDnRight : public SearchRowElement<fw::UpDownArrows> {
public:
    using SearchRowElement::SearchRowElement;
};

class UDA_srchFirstLastRight : public SearchRowElement<fw::UpDownArrows> {
public:
    using SearchRowElement::SearchRowElement;
};

class PB_srchHide : public SearchRowElement<fw::PushButton> {
public:
    using SearchRowElement::SearchRowElement;
};

class PB_find : public SearchRowElement<fw::PushButton> {
public:
    using SearchRowElement::SearchRowElement;
};

class PB_clearSearch : public SearchRowElement<fw::PushButton> {
public:
    using SearchRowElement::SearchRowElement;
};

class PB_NewCriteria : public SearchRowElement<fw::PushButton> {
public:
    using SearchRowElement::SearchRowElement;
};

class EF_searchText : public SearchRowElement<fw::EditField> {
public:
    using SearchRowElement::SearchRowElement;
};

// A hit number too long for the narrow field shows whole, in a smaller font.
class EF_searchInstanceLeft : public SearchRowElement<fw::EditField> {
public:
    explicit EF_searchInstanceLeft(int index)
        : SearchRowElement(index)
    {
        setShowWhole(true);
    }
};

// A hit number too long for the narrow field shows whole, in a smaller font.
class EF_searchInstanceRight : public SearchRowElement<fw::EditField> {
public:
    explicit EF_searchInstanceRight(int index)
        : SearchRowElement(index)
    {
        setShowWhole(true);
    }
};

class ChB_applyColor : public SearchRowElement<fw::CheckBox> {
public:
    using SearchRowElement::SearchRowElement;
};
