// Gap: a fixed-size empty widget that keeps controls apart in the
// designer's layouts (a spacer that, unlike QSpacerItem, can sit in any
// place a widget can, and never grows or shrinks).
//
// Owned by its Qt parent. Threads: the UI thread. Nothing here throws.
#pragma once

#include <QWidget>

class Gap : public QWidget {
public:
    Gap(int width, int height, QWidget* parent = nullptr);

    QSize sizeHint() const override { return size_; }
    QSize minimumSizeHint() const override { return size_; }

private:
    QSize size_;
};
