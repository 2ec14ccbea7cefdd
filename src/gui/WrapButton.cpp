#include "gui/WrapButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

void WrapButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    const int shift = isDown() ? 1 : 0;
    const QRect area = rect().adjusted(2 + shift, 1 + shift, -2 + shift, -1 + shift);
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    // The layout is fixed, so a caption that does not fit its button is drawn smaller rather than cut.
    QFont captionFont = font();
    for (int size = captionFont.pixelSize() > 0 ? captionFont.pixelSize() : 11; size > 7; --size) {
        captionFont.setPixelSize(size);
        const QRect needed = QFontMetrics(captionFont).boundingRect(area, flags, text());
        if (needed.width() <= area.width() && needed.height() <= area.height()) {
            break;
        }
    }
    painter.setFont(captionFont);
    painter.drawItemText(area, flags, palette(), isEnabled(), text(), QPalette::ButtonText);
}
