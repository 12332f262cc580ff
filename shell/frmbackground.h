#pragma once

#include <QWidget>

// The picture that fills the middle of the empty frame while no document is
// open.
class frmBackground : public QWidget
{
    Q_OBJECT

public:
    explicit frmBackground(QWidget *parent);

    int Width() const;  // twips
    int Height() const; // twips

protected:
    void paintEvent(QPaintEvent *event) override;
};
