#pragma once

#include <QWidget>

namespace folioset {

// Two small arrow buttons beside a number field: up adds one, down takes one away, within
// [minimum, maximum]. It holds no text of its own; the field shows the value.
class Stepper : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged)
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum)

public:
    explicit Stepper(QWidget *parent = nullptr);

    int value() const { return m_value; }
    void setValue(int value);
    int minimum() const { return m_minimum; }
    void setMinimum(int minimum);
    int maximum() const { return m_maximum; }
    void setMaximum(int maximum);

    void stepUp() { setValue(m_value + 1); }
    void stepDown() { setValue(m_value - 1); }

signals:
    void valueChanged(int value);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    int m_value = 0;
    int m_minimum = 0;
    int m_maximum = 99;
};

} // namespace folioset
