#include "platform/rebarwindow.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <utility>

RebarWindow::RebarWindow(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
}

intptr_t RebarWindow::windowMessage(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    const auto index = static_cast<int>(static_cast<intptr_t>(wParam));
    switch (message) {
    case RB_INSERTBANDA:
        return lParam && insertBand(index, *reinterpret_cast<const REBARBANDINFO *>(lParam));
    case RB_DELETEBAND:
        return deleteBand(index);
    case RB_GETBANDINFOA:
        return lParam && bandInfo(index, *reinterpret_cast<REBARBANDINFO *>(lParam));
    case RB_SETBANDINFOA:
        return lParam && setBandInfo(index, *reinterpret_cast<const REBARBANDINFO *>(lParam));
    case RB_SETPARENT:
        return reinterpret_cast<intptr_t>(setNotifyWindow(reinterpret_cast<QWidget *>(wParam)));
    case RB_GETBANDCOUNT:
        return bandCount();
    case RB_GETROWCOUNT:
        return rowCount();
    default:
        return 0;
    }
}

QWidget *RebarWindow::setNotifyWindow(QWidget *window)
{
    return std::exchange(m_notify, window);
}

QRect RebarWindow::bandRect(int index) const
{
    return index >= 0 && index < bandCount() ? m_bands[size_t(index)].rect : QRect();
}

int RebarWindow::rowOf(int index) const
{
    return index >= 0 && index < bandCount() ? m_bands[size_t(index)].row : -1;
}

int RebarWindow::rowsHeight() const
{
    int total = 0;
    for (int h : m_rowHeights)
        total += h;
    return total;
}

QSize RebarWindow::sizeHint() const
{
    return QSize(width(), rowsHeight());
}

bool RebarWindow::insertBand(int index, const REBARBANDINFO &info)
{
    if (info.cbSize != 56)
        return false;
    if (index < 0 || index > bandCount())
        index = bandCount();
    Band band;
    takeFields(band, info);
    m_bands.insert(m_bands.begin() + index, band);
    bandsChanged();
    return true;
}

bool RebarWindow::deleteBand(int index)
{
    if (index < 0 || index >= bandCount())
        return false;
    QWidget *child = m_bands[size_t(index)].child;
    m_bands.erase(m_bands.begin() + index);
    releaseChild(child);
    if (m_dragBand >= 0) {
        m_dragBand = -1;
        unsetCursor();
    }
    bandsChanged();
    return true;
}

bool RebarWindow::bandInfo(int index, REBARBANDINFO &info) const
{
    if (info.cbSize != 56 || index < 0 || index >= bandCount())
        return false;
    const Band &band = m_bands[size_t(index)];
    const quint32 mask = info.fMask;
    if (mask & RBBIM_STYLE)
        info.fStyle = band.info.fStyle;
    if (mask & RBBIM_COLORS) {
        info.clrFore = band.info.clrFore;
        info.clrBack = band.info.clrBack;
    }
    if (mask & RBBIM_TEXT)
        info.lpText = band.info.lpText;
    if (mask & RBBIM_IMAGE)
        info.iImage = band.info.iImage;
    if (mask & RBBIM_CHILD)
        info.hwndChild = band.child;
    if (mask & RBBIM_CHILDSIZE) {
        info.cxMinChild = band.info.cxMinChild;
        info.cyMinChild = band.info.cyMinChild;
    }
    if (mask & RBBIM_SIZE)
        info.cx = band.info.cx;
    if (mask & RBBIM_BACKGROUND)
        info.hbmBack = band.info.hbmBack;
    if (mask & RBBIM_ID)
        info.wID = band.info.wID;
    return true;
}

bool RebarWindow::setBandInfo(int index, const REBARBANDINFO &info)
{
    if (info.cbSize != 56 || index < 0 || index >= bandCount())
        return false;
    takeFields(m_bands[size_t(index)], info);
    bandsChanged();
    return true;
}

void RebarWindow::takeFields(Band &band, const REBARBANDINFO &info)
{
    const quint32 mask = info.fMask;
    if (mask & RBBIM_STYLE)
        band.info.fStyle = info.fStyle;
    if (mask & RBBIM_COLORS) {
        band.info.clrFore = info.clrFore;
        band.info.clrBack = info.clrBack;
        band.hasColors = true;
    }
    if (mask & RBBIM_TEXT)
        band.info.lpText = info.lpText;
    if (mask & RBBIM_IMAGE)
        band.info.iImage = info.iImage;
    if ((mask & RBBIM_CHILD) && band.child != info.hwndChild) {
        releaseChild(band.child);
        band.child = info.hwndChild != this ? info.hwndChild : nullptr;
        adoptChild(band.child);
    }
    if (mask & RBBIM_CHILDSIZE) {
        band.info.cxMinChild = qMax(0, info.cxMinChild);
        band.info.cyMinChild = qMax(0, info.cyMinChild);
    }
    if (mask & RBBIM_SIZE)
        band.info.cx = qMax(0, info.cx);
    if (mask & RBBIM_BACKGROUND)
        band.info.hbmBack = info.hbmBack;
    if (mask & RBBIM_ID)
        band.info.wID = info.wID;
}

void RebarWindow::adoptChild(QWidget *child)
{
    if (!child)
        return;
    child->setParent(this);
    child->show();
}

void RebarWindow::releaseChild(QWidget *child)
{
    if (!child || child->parentWidget() != this)
        return;
    child->hide();
    child->setParent(parentWidget());
    child->hide();
}

int RebarWindow::headerWidth(const Band &band) const
{
    if (band.info.lpText.isEmpty())
        return GripperWidth;
    return GripperWidth + fontMetrics().horizontalAdvance(band.info.lpText) + 6;
}

int RebarWindow::minimumWidth(const Band &band) const
{
    return headerWidth(band) + band.info.cxMinChild;
}

int RebarWindow::edge(const Band &band) const
{
    return band.info.fStyle & RBBS_CHILDEDGE ? ChildEdge : 0;
}

bool RebarWindow::isFirstInRow(int index) const
{
    return index == 0 || m_bands[size_t(index - 1)].row != m_bands[size_t(index)].row;
}

bool RebarWindow::isLastInRow(int index) const
{
    return index == bandCount() - 1 || m_bands[size_t(index + 1)].row != m_bands[size_t(index)].row;
}

int RebarWindow::gripperAt(const QPoint &pos) const
{
    for (int i = 0; i < bandCount(); ++i) {
        const QRect &r = m_bands[size_t(i)].rect;
        if (QRect(r.x(), r.y(), GripperWidth, r.height()).contains(pos))
            return i;
    }
    return -1;
}

int RebarWindow::rowAt(int y) const
{
    if (y < 0)
        return -1;
    int bottom = 0;
    for (int row = 0; row < rowCount(); ++row) {
        bottom += m_rowHeights[size_t(row)];
        if (y < bottom)
            return row;
    }
    return rowCount();
}

void RebarWindow::moveToRow(int index, int row, int left)
{
    std::vector<std::vector<Band>> rows(static_cast<size_t>(rowCount()));
    for (int i = 0; i < bandCount(); ++i) {
        if (i != index)
            rows[size_t(m_bands[size_t(i)].row)].push_back(m_bands[size_t(i)]);
    }
    if (row < 0) {
        rows.emplace(rows.begin());
        row = 0;
    } else if (row >= rowCount()) {
        rows.emplace_back();
        row = rowCount();
    }
    std::vector<Band> &target = rows[size_t(row)];
    size_t at = 0;
    while (at < target.size() && target[at].rect.x() < left)
        ++at;
    target.insert(target.begin() + std::ptrdiff_t(at), m_bands[size_t(index)]);

    m_bands.clear();
    for (std::vector<Band> &bands : rows) {
        for (size_t i = 0; i < bands.size(); ++i) {
            quint32 &style = bands[i].info.fStyle;
            style = i == 0 ? style | RBBS_BREAK : style & ~RBBS_BREAK;
            if (&bands == &target && i == at)
                m_dragBand = bandCount();
            m_bands.push_back(bands[i]);
        }
    }
    bandsChanged();
}

void RebarWindow::layoutBands()
{
    // A band that would not fit beside the bands before it, even at its
    // minimum width, wraps to a row of its own.
    m_rowHeights.clear();
    int used = 0;
    for (int i = 0; i < bandCount(); ++i) {
        Band &band = m_bands[size_t(i)];
        if (i == 0 || band.info.fStyle & RBBS_BREAK || used + minimumWidth(band) > width()) {
            m_rowHeights.push_back(0);
            used = 0;
        }
        used += minimumWidth(band);
        band.row = rowCount() - 1;
        int &rowHeight = m_rowHeights.back();
        rowHeight = qMax(rowHeight, band.info.cyMinChild + 2 * edge(band));
    }

    // Each band its own width and the last of a row the rest; where the bar
    // is too narrow for that, the bands before the last give way, the
    // nearest first, down to their minimum widths.
    std::vector<int> widths(static_cast<size_t>(bandCount()));
    for (int last = bandCount() - 1; last >= 0;) {
        int first = last;
        while (!isFirstInRow(first))
            --first;
        int total = minimumWidth(m_bands[size_t(last)]);
        for (int i = first; i < last; ++i) {
            widths[size_t(i)] = qMax(minimumWidth(m_bands[size_t(i)]), m_bands[size_t(i)].info.cx);
            total += widths[size_t(i)];
        }
        for (int i = last - 1; i >= first && total > width(); --i) {
            const int give = qMin(total - width(), widths[size_t(i)] - minimumWidth(m_bands[size_t(i)]));
            widths[size_t(i)] -= give;
            total -= give;
        }
        widths[size_t(last)] = minimumWidth(m_bands[size_t(last)]) + qMax(0, width() - total);
        last = first - 1;
    }

    int x = 0;
    int y = 0;
    for (int i = 0; i < bandCount(); ++i) {
        Band &band = m_bands[size_t(i)];
        if (i > 0 && isFirstInRow(i)) {
            x = 0;
            y += m_rowHeights[size_t(band.row - 1)];
        }
        band.rect = QRect(x, y, widths[size_t(i)], m_rowHeights[size_t(band.row)]);
        x += band.rect.width();
        if (band.child) {
            const int e = edge(band);
            band.child->setGeometry(band.rect.adjusted(headerWidth(band), e, 0, -e));
        }
    }
}

void RebarWindow::bandsChanged()
{
    layoutBands();
    const int h = rowsHeight();
    if (h != height()) {
        resize(width(), h);
        emit heightChanged(h);
    }
    update();
}

void RebarWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int rows = rowCount();
    layoutBands();
    // Bands that wrap or come back change the rows' height.
    if (rowCount() != rows)
        bandsChanged();
}

void RebarWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QColor light = palette().color(QPalette::Light);
    const QColor mid = palette().color(QPalette::Mid);
    for (int i = 0; i < bandCount(); ++i) {
        const Band &band = m_bands[size_t(i)];
        const QRect r = band.rect;
        const QPixmap &image = band.info.hbmBack;
        if (!image.isNull()) {
            // A fixed image stays put against the bar when the band moves.
            const QPoint offset = band.info.fStyle & RBBS_FIXEDBMP
                                      ? QPoint(r.x() % image.width(), r.y() % image.height())
                                      : QPoint();
            p.drawTiledPixmap(r, image, offset);
        } else if (band.hasColors && band.info.clrBack.isValid()) {
            p.fillRect(r, band.info.clrBack);
        }
        const QColor fore = band.hasColors && band.info.clrFore.isValid()
                                ? band.info.clrFore
                                : palette().color(QPalette::ButtonText);
        QColor shadow = fore;
        shadow.setAlpha(110);

        if (!isFirstInRow(i)) {
            p.setPen(mid);
            p.drawLine(r.x(), r.top() + 1, r.x(), r.bottom() - 1);
            p.setPen(light);
            p.drawLine(r.x() + 1, r.top() + 1, r.x() + 1, r.bottom() - 1);
        }
        for (int ridge : {r.x() + 4, r.x() + 7}) {
            p.setPen(light);
            p.drawLine(ridge - 1, r.top() + 3, ridge - 1, r.bottom() - 3);
            p.setPen(shadow);
            p.drawLine(ridge, r.top() + 3, ridge, r.bottom() - 3);
        }
        if (!band.info.lpText.isEmpty()) {
            p.setPen(fore);
            p.drawText(QRect(r.x() + GripperWidth + 2, r.y(), headerWidth(band) - GripperWidth - 2, r.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, band.info.lpText);
        }
        if (band.row + 1 < rowCount()) {
            p.setPen(mid);
            p.drawLine(r.left(), r.bottom() - 1, r.right(), r.bottom() - 1);
            p.setPen(light);
            p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        }
    }
}

void RebarWindow::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const int band = event->button() == Qt::LeftButton ? gripperAt(pos) : -1;
    if (band < 0) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_dragBand = band;
    m_dragStartX = pos.x();
    m_dragStartWidth = m_bands[size_t(band)].rect.width();
    m_grabX = pos.x() - m_bands[size_t(band)].rect.x();
    m_rowChanged = false;
}

void RebarWindow::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_dragBand < 0) {
        if (gripperAt(pos) >= 0)
            setCursor(Qt::SizeAllCursor);
        else
            unsetCursor();
        return;
    }
    const int left = pos.x() - m_grabX;
    const int from = m_bands[size_t(m_dragBand)].row;
    int row = rowAt(pos.y());
    if (isFirstInRow(m_dragBand) && isLastInRow(m_dragBand)
        && ((row < 0 && from == 0) || (row >= rowCount() && from == rowCount() - 1)))
        row = from; // a row of its own at that end already
    // The rows close up under the pointer when a band leaves one: the band
    // stays in the row it has just come to until the pointer moves on.
    if (row != from && (!m_rowChanged || qAbs(pos.y() - m_rowChangeY) > m_rowHeights[size_t(from)] / 2)) {
        moveToRow(m_dragBand, row, left);
        m_rowChanged = true;
        m_rowChangeY = pos.y();
        m_dragStartX = pos.x();
        m_dragStartWidth = m_bands[size_t(m_dragBand)].rect.width();
    }

    const int i = m_dragBand;
    Band &band = m_bands[size_t(i)];
    if (!isFirstInRow(i)) {
        // The gripper is the border with the band before: one grows as the other shrinks.
        Band &prev = m_bands[size_t(i - 1)];
        const int room = isLastInRow(i) ? width() - prev.rect.x() : prev.rect.width() + band.rect.width();
        const int w = qMax(minimumWidth(prev), qMin(left - prev.rect.x(), room - minimumWidth(band)));
        prev.info.cx = w;
        if (!isLastInRow(i))
            band.info.cx = room - w;
    } else if (!isLastInRow(i)) {
        int othersMinimum = 0;
        for (int j = i + 1; j < bandCount() && m_bands[size_t(j)].row == band.row; ++j)
            othersMinimum += minimumWidth(m_bands[size_t(j)]);
        const int w = m_dragStartWidth + pos.x() - m_dragStartX;
        band.info.cx = qMax(minimumWidth(band), qMin(w, width() - othersMinimum));
    }
    layoutBands();
    update();
}

void RebarWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_dragBand < 0 || event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_dragBand = -1;
}
