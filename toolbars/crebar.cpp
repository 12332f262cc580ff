#include "toolbars/crebar.h"

#include "platform/rebarwindow.h"
#include "platform/screen.h"

#include <QApplication>
#include <QPalette>
#include <QToolBar>

namespace {
constexpr quint32 BandMask = 0x9BF;
}

CRebar::CRebar() = default;

void CRebar::TBMakeFlat(QToolBar *Tb, bool TBList)
{
    if (!Tb)
        return;
    Tb->setMovable(false);
    Tb->setFloatable(false);
    Tb->setToolButtonStyle(TBList ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
    // Transparent so that the band's colours or image show through.
    Tb->setStyleSheet(QStringLiteral("QToolBar { border: 0px; background: transparent; }"));
    Tb->update();
}

void CRebar::AddBands(const QString &BandText, int BandName, QWidget *ChildWin, int NewRow, int mWidth)
{
    const QPalette palette = QApplication::palette();
    REBARBANDINFO info;
    info.cbSize = 56;
    info.fMask = BandMask;
    info.clrFore = palette.color(QPalette::ButtonText);
    info.clrBack = palette.color(QPalette::Button);
    // Only NewRow 1 leaves out the break: every other band starts a row of its own.
    info.fStyle = NewRow == 1 ? 0x2A4 : 0x2A5;
    info.lpText = BandText;
    info.cch = 0;
    info.iImage = 0;
    info.hwndChild = ChildWin;
    info.cxMinChild = ChildWin ? ChildWin->width() : 0;
    if (mWidth != 0)
        info.cxMinChild = mWidth * Screen::twipsPerPixelX();
    info.cyMinChild = ChildWin ? ChildWin->height() : 0;
    info.cx = 10;
    info.hbmBack = m_imageForRebar;
    info.wID = static_cast<quint32>(BandName);
    SendMessageA(hwnd(), RB_INSERTBANDA, static_cast<uintptr_t>(-1), reinterpret_cast<intptr_t>(&info));
    if (m_rebar)
        m_rebar->update();
}

QVariant CRebar::GetBandId(int id)
{
    REBARBANDINFO info;
    info.cbSize = 56;
    info.fMask = BandMask;
    if (SendMessageA(hwnd(), RB_GETBANDINFOA, static_cast<uintptr_t>(id), reinterpret_cast<intptr_t>(&info)) == 0)
        return QVariant();
    return QVariant(static_cast<qint32>(info.wID));
}

void CRebar::SetBandColors()
{
    const QPalette palette = QApplication::palette();
    const auto count = SendMessageA(hwnd(), RB_GETBANDCOUNT);
    for (intptr_t i = 0; i < count; ++i) {
        REBARBANDINFO info;
        info.cbSize = 56;
        info.fMask = BandMask;
        SendMessageA(hwnd(), RB_GETBANDINFOA, static_cast<uintptr_t>(i), reinterpret_cast<intptr_t>(&info));
        info.clrFore = palette.color(QPalette::ButtonText);
        info.clrBack = palette.color(QPalette::Button);
        SendMessageA(hwnd(), RB_SETBANDINFOA, static_cast<uintptr_t>(i), reinterpret_cast<intptr_t>(&info));
    }
}

void CRebar::DestroyRebar()
{
    if (!m_rebar)
        return;
    m_rebar->hide();
    const auto children = m_rebar->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        child->setParent(m_parent);
        child->hide();
    }
    const auto count = SendMessageA(hwnd(), RB_GETBANDCOUNT);
    for (intptr_t i = 0; i < count; ++i)
        SendMessageA(hwnd(), RB_DELETEBAND, 0);
    m_rebar->deleteLater();
    m_rebar = nullptr;
}

QVariant CRebar::GetRebarWindow()
{
    return QVariant::fromValue<QWidget *>(hwnd());
}

void CRebar::RemoveBands(int BandPosition)
{
    SendMessageA(hwnd(), RB_DELETEBAND, static_cast<uintptr_t>(BandPosition));
}

void CRebar::Resize(QWidget *frm)
{
    if (!m_rebar || !frm)
        return;
    const int twipsPerPixel = Screen::twipsPerPixelX();
    const int frameTwips = frm->frameGeometry().width() * twipsPerPixel;
    // The window system's border, whatever its width here, is no room for bands.
    const int borders = frm->frameGeometry().width() - frm->width();
    const int width = qRound(double(frameTwips) / twipsPerPixel) - borders;
    m_rebar->setGeometry(0, 0, qMax(0, width), m_rebar->rowsHeight());
    m_rebar->update();
}

void CRebar::Move(int Left, int Top, int Width, int Height)
{
    if (m_rebar)
        m_rebar->setGeometry(Left, Top, qMax(0, Width), qMax(0, Height));
}

WindowHandle CRebar::hwnd() const
{
    return m_rebar;
}

bool CRebar::Create()
{
    if (!m_parent)
        return false;
    auto *rebar = new RebarWindow(m_parent);
    // Twips taken as pixels on purpose: the first Resize sets the real width.
    rebar->setGeometry(0, 0, m_parent->frameGeometry().width() * Screen::twipsPerPixelX(), 60);
    rebar->show();
    m_rebar = rebar;
    return true;
}

void CRebar::SetMainParent(QWidget *Obj)
{
    SendMessageA(hwnd(), RB_SETPARENT, reinterpret_cast<uintptr_t>(Obj));
}
