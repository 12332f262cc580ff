#include "platform/userstore.h"

#include <QVariant>

UserStore::UserStore(const QString &section)
{
    m_settings.beginGroup(section);
}

std::optional<QString> UserStore::text(const QString &key) const
{
    if (!m_settings.contains(key))
        return std::nullopt;
    return m_settings.value(key).toString();
}

void UserStore::setText(const QString &key, const QString &text)
{
    // Kept as one string, so that the store quotes a text with commas rather
    // than reading it back as a list, and marks a leading "@" as text.
    m_settings.setValue(key, QVariant(text));
}
