#pragma once

#include <QLabel>

/**
 * A one-line status text that never grows its window: a text too long for the line is shown cut in the middle,
 * with all of it in the tooltip. text() stays the whole text.
 */
class StatusLine : public QLabel
{
    Q_OBJECT
public:
    explicit StatusLine(QWidget* parent = nullptr);

    void setStatus(const QString& text);
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateToolTip();
};
