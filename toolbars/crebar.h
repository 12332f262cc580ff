#pragma once

#include "platform/messages.h"

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QVariant>

class QToolBar;
class QWidget;
class RebarWindow;

// The frame's rebar: one band per toolbar container, talked to with rebar
// messages. Set Parent, then Create, then AddBands; Resize follows the
// frame's width, and the rebar takes the height of its rows by itself.
class CRebar
{
public:
    CRebar();

    // No frame, no handle, not movable; TBList puts the text beside the icons.
    void TBMakeFlat(QToolBar *Tb, bool TBList = false);
    // NewRow 0 starts a new row; NewRow 1 keeps the band on the row before.
    // mWidth, when not 0, sets the band's minimum width instead of ChildWin's.
    void AddBands(const QString &BandText, int BandName, QWidget *ChildWin, int NewRow, int mWidth = 0);
    // The BandName of band id; empty when there is no such band.
    QVariant GetBandId(int id);
    // Gives every band the current button colours.
    void SetBandColors();
    // Hands the band children back to Parent, hidden, and destroys the rebar.
    void DestroyRebar();
    QVariant GetRebarWindow();
    void RemoveBands(int BandPosition = 0);
    // Fits the rebar to frm's client width at the top; its height stays its rows'.
    void Resize(QWidget *frm);
    // Exactly this geometry, in pixels.
    void Move(int Left, int Top, int Width, int Height);
    WindowHandle hwnd() const;
    // A new rebar at the top of Parent; false when there is no Parent.
    bool Create();

    QWidget *Parent() const { return m_parent; }
    void setParent(QWidget *frm) { m_parent = frm; }
    QPixmap ImageForRebar() const { return m_imageForRebar; }
    void setImageForRebar(const QPixmap &image) { m_imageForRebar = image; }
    // The window that gets the rebar's notifications.
    void SetMainParent(QWidget *Obj);

private:
    QPointer<RebarWindow> m_rebar;
    QPointer<QWidget> m_parent;
    QPixmap m_imageForRebar;
};
