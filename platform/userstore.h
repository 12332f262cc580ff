#pragma once

#include <QSettings>
#include <QString>

#include <optional>

// The per-user store: texts under a section, kept between runs of the
// program, under the organisation and program names that main sets.
// Changes are written out when the store object goes; a store that cannot be
// written is left as it was, without a word.
class UserStore
{
public:
    explicit UserStore(const QString &section);
    UserStore(const UserStore &) = delete;
    UserStore &operator=(const UserStore &) = delete;

    // The text stored under key, whole; nothing when there is no such value.
    std::optional<QString> text(const QString &key) const;
    void setText(const QString &key, const QString &text);

private:
    QSettings m_settings;
};
