// The capture area below the title bar: an orange-red frame around a fully
// transparent interior, through which the user sees what will be captured.
#ifndef CAPTUREWGT_H
#define CAPTUREWGT_H

#include <QWidget>

class CaptureWgt : public QWidget
{
    Q_OBJECT

public:
    explicit CaptureWgt(QWidget *parent = nullptr);

    int frameThickness() const { return thickness; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int thickness;
};

#endif // CAPTUREWGT_H
