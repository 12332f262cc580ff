#pragma once

#include <QTimer>
#include <QWidget>

// The splash window: shown on top of everything while the program starts;
// its timer brings up the frame.
class frmSplash : public QWidget
{
    Q_OBJECT

public:
    frmSplash();

    void Show();

    QTimer tmrSplash;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void Form_Load();
    void tmrSplash_Timer();
};
