#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace Clipboard {

void Clear()
{
    QGuiApplication::clipboard()->clear();
}

void SetText(const QString &text)
{
#ifdef Q_OS_WIN
    QGuiApplication::clipboard()->setText(text);
#else
    QString lines = text;
    lines.replace(QLatin1StringView("\r\n"), QLatin1StringView("\n"));
    QGuiApplication::clipboard()->setText(lines);
#endif
}

bool HasText()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

QString GetText()
{
    return QGuiApplication::clipboard()->text();
}

} // namespace Clipboard
