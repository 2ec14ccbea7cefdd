#pragma once

#include <QPushButton>

/** A push button whose caption wraps onto several lines, as the narrow buttons of the main window need. */
class WrapButton : public QPushButton
{
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};
