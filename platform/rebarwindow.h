#pragma once

#include "platform/messages.h"

#include <QColor>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <vector>

// Rebar messages; lParam points to a REBARBANDINFO where one is needed.
constexpr unsigned RB_INSERTBANDA = 0x401, RB_DELETEBAND = 0x402, RB_GETBANDINFOA = 0x405,
                   RB_SETBANDINFOA = 0x406, RB_SETPARENT = 0x407, RB_GETBANDCOUNT = 0x40C,
                   RB_GETROWCOUNT = 0x40D;

// Band styles.
constexpr quint32 RBBS_BREAK = 0x1, RBBS_CHILDEDGE = 0x4, RBBS_FIXEDBMP = 0x20, RBBS_GRIPPERALWAYS = 0x80;

// Which fields of a REBARBANDINFO are given or wanted.
constexpr quint32 RBBIM_STYLE = 0x1, RBBIM_COLORS = 0x2, RBBIM_TEXT = 0x4, RBBIM_IMAGE = 0x8,
                  RBBIM_CHILD = 0x10, RBBIM_CHILDSIZE = 0x20, RBBIM_SIZE = 0x40,
                  RBBIM_BACKGROUND = 0x80, RBBIM_ID = 0x100;

struct REBARBANDINFO
{
    quint32 cbSize = 56;
    quint32 fMask = 0;
    quint32 fStyle = 0;
    QColor clrFore;
    QColor clrBack;
    QString lpText;
    quint32 cch = 0;
    int iImage = 0;
    WindowHandle hwndChild = nullptr;
    int cxMinChild = 0;
    int cyMinChild = 0;
    int cx = 0;
    QPixmap hbmBack;
    quint32 wID = 0;
};

// A bar of bands in rows, each band a gripper and a child window. A band with
// RBBS_BREAK starts a new row, and so does one that would not fit beside the
// bands before it; the last band of a row takes what is left of the width.
// After every change to the bands or the rows the bar takes the height of its
// rows (its width stays as it was given) and tells heightChanged.
//
// The user drags a band by its gripper: along its row to move its border with
// the band before, onto another row to sit beside the band there, or above or
// below all rows to a row of its own. A row left empty goes, and each band's
// RBBS_BREAK follows the rows.
//
// A band's child is taken into the bar and shown when the band is inserted,
// and handed back, hidden, to the bar's parent when the band goes.
class RebarWindow : public QWidget, public MessageTarget
{
    Q_OBJECT

public:
    explicit RebarWindow(QWidget *parent = nullptr);

    // The rebar messages, as SendMessageA delivers them: each goes to the
    // member below that does its work.
    intptr_t windowMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;

    // RB_INSERTBANDA: a band at index (an index that is none: after the last).
    bool insertBand(int index, const REBARBANDINFO &info);
    // RB_DELETEBAND.
    bool deleteBand(int index);
    // RB_GETBANDINFOA: the fields info.fMask asks for.
    bool bandInfo(int index, REBARBANDINFO &info) const;
    // RB_SETBANDINFOA: the fields info.fMask gives.
    bool setBandInfo(int index, const REBARBANDINFO &info);
    // RB_SETPARENT: the window told of the rebar's changes; gives the one before.
    QWidget *setNotifyWindow(QWidget *window);

    int bandCount() const { return int(m_bands.size()); }
    // Empty for an index that is not a band's.
    QRect bandRect(int index) const;
    // -1 for an index that is not a band's.
    int rowOf(int index) const;
    int rowCount() const { return int(m_rowHeights.size()); }
    // The height of all rows together.
    int rowsHeight() const;
    // The window that RB_SETPARENT named.
    WindowHandle notifyWindow() const { return m_notify; }

    QSize sizeHint() const override;

signals:
    void heightChanged(int height);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    struct Band
    {
        REBARBANDINFO info; // hwndChild unused: child holds it
        QPointer<QWidget> child;
        bool hasColors = false;
        int row = 0;
        QRect rect;
    };

    static constexpr int GripperWidth = 10;
    static constexpr int ChildEdge = 2;

    void takeFields(Band &band, const REBARBANDINFO &info);
    void adoptChild(QWidget *child);
    void releaseChild(QWidget *child);

    int headerWidth(const Band &band) const;
    int minimumWidth(const Band &band) const;
    int edge(const Band &band) const;
    QRect gripperRect(const Band &band) const;
    bool isFirstInRow(int index) const;
    bool isLastInRow(int index) const;
    int gripperAt(const QPoint &pos) const;
    // -1 above the rows, rowCount() below them.
    int rowAt(int y) const;
    // Moves the band into row (-1 a new first row, rowCount() a new last
    // one), after the bands there that start left of left.
    void moveToRow(int index, int row, int left);

    void layoutBands();
    // After a change to the bands: lay them out and take the rows' height.
    void bandsChanged();

    std::vector<Band> m_bands;
    std::vector<int> m_rowHeights;
    QPointer<QWidget> m_notify;

    int m_dragBand = -1;
    int m_dragStartX = 0;
    int m_dragStartWidth = 0;
    int m_grabX = 0; // from the band's left edge
    int m_rowChangeY = 0;
    bool m_rowChanged = false;
};
