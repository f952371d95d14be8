#include "app/designer/Gap.h"

Gap::Gap(int width, int height, QWidget* parent) : QWidget(parent), size_(width, height) {
    setFixedSize(size_);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}
