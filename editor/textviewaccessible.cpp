#include "editor/textview.h"

#include <QAccessibleWidget>
#include <QScrollBar>
#include <QTextBoundaryFinder>

#include <algorithm>

// What a screen reader sees of a text view: its text, read a part at a time,
// its caret and selection, and edits.
class TextViewAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface
{
public:
    explicit TextViewAccessible(TextView *view)
        : QAccessibleWidget(view, QAccessible::EditableText)
    {
    }

    TextView *view() const { return static_cast<TextView *>(widget()); }
    const TextStore &store() const { return view()->store(); }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = !view()->isReadOnly();
        s.readOnly = view()->isReadOnly();
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return store().text(0, store().length());
        return QAccessibleWidget::text(t);
    }

    // QAccessibleTextInterface
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex != 0 || !view()->hasSelection())
            return;
        *startOffset = int(view()->selectionStart());
        *endOffset = int(view()->selectionEnd());
    }
    int selectionCount() const override { return view()->hasSelection() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0)
            view()->setSelection(view()->cursorPosition(), view()->cursorPosition());
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex == 0)
            view()->setSelection(startOffset, endOffset);
    }
    int cursorPosition() const override { return int(view()->cursorPosition()); }
    void setCursorPosition(int position) override { view()->setSelection(position, position); }
    QString text(int startOffset, int endOffset) const override
    {
        const qsizetype length = store().length();
        const qsizetype from = std::clamp<qsizetype>(startOffset, 0, length);
        const qsizetype to = std::clamp<qsizetype>(endOffset, from, length);
        return store().text(from, to - from);
    }
    int characterCount() const override { return int(store().length()); }

    QRect characterRect(int offset) const override
    {
        const QRect rect = view()->positionRect(offset);
        return QRect(view()->viewport()->mapToGlobal(rect.topLeft()), rect.size());
    }

    int offsetAtPoint(const QPoint &point) const override
    {
        const QPoint local = view()->viewport()->mapFromGlobal(point);
        return int(view()->positionAt(local));
    }

    void scrollToSubstring(int startIndex, int endIndex) override
    {
        // The end first, so that a substring longer than the window shows its start.
        view()->ensurePositionVisible(std::clamp<qsizetype>(endIndex, 0, store().length()));
        view()->ensurePositionVisible(std::clamp<qsizetype>(startIndex, 0, store().length()));
    }

    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return QString();
    }

    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                         int *endOffset) const override
    {
        const auto [from, to] = range(offset, boundaryType);
        *startOffset = int(from);
        *endOffset = int(to);
        return store().text(from, to - from);
    }

    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                             int *endOffset) const override
    {
        auto [from, to] = range(offset, boundaryType);
        if (from <= 0 || boundaryType == QAccessible::NoBoundary) {
            *startOffset = *endOffset = -1;
            return QString();
        }
        std::tie(from, to) = range(int(from - 1), boundaryType);
        *startOffset = int(from);
        *endOffset = int(to);
        return store().text(from, to - from);
    }

    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                            int *endOffset) const override
    {
        auto [from, to] = range(offset, boundaryType);
        if (to >= store().length() || boundaryType == QAccessible::NoBoundary) {
            *startOffset = *endOffset = -1;
            return QString();
        }
        std::tie(from, to) = range(int(to), boundaryType);
        *startOffset = int(from);
        *endOffset = int(to);
        return store().text(from, to - from);
    }

    // QAccessibleEditableTextInterface
    void deleteText(int startOffset, int endOffset) override { replaceText(startOffset, endOffset, QString()); }
    void insertText(int offset, const QString &text) override { replaceText(offset, offset, text); }
    void replaceText(int startOffset, int endOffset, const QString &text) override
    {
        if (view()->isReadOnly())
            return;
        view()->setSelection(startOffset, endOffset);
        view()->replaceSelection(text);
    }

private:
    // The unit of text that holds offset: a character, a word, or a line
    // with its break; sentences and paragraphs count as lines.
    std::pair<qsizetype, qsizetype> range(int offset, QAccessible::TextBoundaryType type) const
    {
        const TextStore &s = store();
        const qsizetype length = s.length();
        const qsizetype at = std::clamp<qsizetype>(offset, 0, length);
        if (type == QAccessible::NoBoundary)
            return {0, length};
        if (at == length && type == QAccessible::CharBoundary)
            return {length, length};
        const qsizetype line = s.lineAt(at);
        const qsizetype lineStart = s.lineStart(line);
        const qsizetype lineEnd = lineStart + s.lineLength(line);
        const qsizetype withBreak = line + 1 < s.lineCount() ? lineEnd + 1 : lineEnd;
        if (type == QAccessible::CharBoundary) {
            const qsizetype next = at + 1 < length && s.at(at).isHighSurrogate() && s.at(at + 1).isLowSurrogate()
                ? at + 2
                : at + 1;
            return {at, std::min(next, length)};
        }
        if (type == QAccessible::WordBoundary) {
            const qsizetype window = 512;
            const qsizetype from = std::max(lineStart, at - window);
            const qsizetype to = std::min(lineEnd, at + window);
            const QString text = s.text(from, to - from);
            if (at >= lineEnd || text.isEmpty())
                return {at, withBreak};
            QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
            finder.setPosition(at - from);
            qsizetype start = finder.isAtBoundary() ? at - from : finder.toPreviousBoundary();
            finder.setPosition(at - from);
            qsizetype end = finder.toNextBoundary();
            return {from + std::max<qsizetype>(start, 0), end < 0 ? to : from + end};
        }
        return {lineStart, withBreak};
    }
};

static QAccessibleInterface *textViewAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TextView") && object && object->isWidgetType())
        return new TextViewAccessible(static_cast<TextView *>(object));
    return nullptr;
}

void installTextViewAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(textViewAccessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}
