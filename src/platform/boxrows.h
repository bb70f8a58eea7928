#pragma once
// Rows of a setup form: a caption label and its text box side by side, placed in twips.

#include <QString>

class QLabel;
class QLineEdit;
class QWidget;

struct BoxRows {
    int labelLeft, labelWidth, boxLeft, boxWidth;
    int firstTop, step, height;

    int top(int row) const { return firstTop + row * step; }
    // Creates the label (right-aligned caption) and the box of row `row`, named as given.
    void add(QWidget* parent, int row, QLabel*& label, const char* labelName, const char* caption, QLineEdit*& box,
             const char* boxName) const;
};
