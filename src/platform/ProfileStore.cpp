#include "platform/ProfileStore.h"

#include <QByteArray>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QVariant>

namespace {

constexpr char kOrganisation[] = "Orvano";
constexpr char kStoreFileName[] = "Release 2.1.conf";

// The organisation/application constructor would name the file ".ini" and
// fix its folder for the whole process; the explicit path keeps the ".conf"
// name and follows XDG_CONFIG_HOME on every call.
QString StoreFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' +
           QLatin1StringView(kOrganisation) + u'/' + QLatin1StringView(kStoreFileName);
}

QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToStdString(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// "/" and "\" separate groups in a settings key, so names carry them escaped.
QString EscapeName(std::string_view name)
{
    std::string escaped;
    escaped.reserve(name.size());
    for (const char c : name) {
        switch (c) {
        case '%': escaped += "%25"; break;
        case '/': escaped += "%2F"; break;
        case '\\': escaped += "%5C"; break;
        default: escaped.push_back(c); break;
        }
    }
    return ToQString(escaped);
}

std::string UnescapeName(const QString& stored)
{
    const std::string text = ToStdString(stored);
    std::string name;
    name.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const std::string_view code(text.data() + i + 1, 2);
            if (code == "25" || code == "2F" || code == "5C") {
                name.push_back(code == "25" ? '%' : code == "2F" ? '/' : '\\');
                i += 2;
                continue;
            }
        }
        name.push_back(text[i]);
    }
    return name;
}

QString KeyPath(std::string_view section, std::string_view key)
{
    return EscapeName(section) + u'/' + EscapeName(key);
}

bool Flush(QSettings& settings)
{
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool IsValidUtf8(std::string_view text)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString decoded = decoder.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    return !decoder.hasError();
}

} // namespace

std::string ProfileStorePath()
{
    return ToStdString(StoreFilePath());
}

int32_t ProfileGetInt(std::string_view section, std::string_view key, int32_t defaultValue)
{
    QSettings settings(StoreFilePath(), QSettings::IniFormat);
    const QVariant value = settings.value(KeyPath(section, key));
    if (!value.isValid() || value.typeId() == QMetaType::QStringList) {
        return defaultValue;
    }
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok, 10);
    if (!ok || number < INT32_MIN || number > static_cast<qlonglong>(UINT32_MAX)) {
        return defaultValue;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(number));
}

bool ProfileWriteInt(std::string_view section, std::string_view key, int32_t value)
{
    QSettings settings(StoreFilePath(), QSettings::IniFormat);
    // Readers write their values back at every use; a value that is there
    // already costs no synced rewrite of the file.
    const QVariant stored = settings.value(KeyPath(section, key));
    if (stored.typeId() == QMetaType::QString && stored.toString() == QString::number(value)) {
        return settings.status() == QSettings::NoError;
    }
    settings.setValue(KeyPath(section, key), value);
    return Flush(settings);
}

std::string ProfileGetString(std::string_view section, std::string_view key, std::string_view defaultValue)
{
    QSettings settings(StoreFilePath(), QSettings::IniFormat);
    const QVariant value = settings.value(KeyPath(section, key));
    if (!value.isValid()) {
        return std::string(defaultValue);
    }
    if (value.typeId() == QMetaType::QByteArray) {
        const QByteArray bytes = value.toByteArray();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    // An unquoted text with commas reads back as a list.
    if (value.typeId() == QMetaType::QStringList) {
        return ToStdString(value.toStringList().join(QStringLiteral(", ")));
    }
    return ToStdString(value.toString());
}

bool ProfileWriteString(std::string_view section, std::string_view key, std::string_view value)
{
    QSettings settings(StoreFilePath(), QSettings::IniFormat);
    if (IsValidUtf8(value)) {
        settings.setValue(KeyPath(section, key), ToQString(value));
    } else {
        settings.setValue(KeyPath(section, key),
                          QByteArray(value.data(), static_cast<qsizetype>(value.size())));
    }
    return Flush(settings);
}

bool ProfileDeleteValue(std::string_view section, std::string_view key)
{
    if (key.empty()) {
        return false;
    }
    QSettings settings(StoreFilePath(), QSettings::IniFormat);
    settings.remove(KeyPath(section, key));
    return Flush(settings);
}

std::vector<std::string> ProfileListValueNames(std::string_view section)
{
    QSettings settings(StoreFilePath(), QSettings::IniFormat);
    settings.beginGroup(EscapeName(section));
    const QStringList keys = settings.childKeys();
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(keys.size()));
    for (const QString& key : keys) {
        names.push_back(UnescapeName(key));
    }
    return names;
}

EProfileValueState ProfileGetBinary(std::string_view section, std::string_view name, std::vector<uint8_t>& value)
{
    if (name.empty()) {
        return EProfileValueState::Missing;
    }
    QSettings settings(StoreFilePath(), QSettings::IniFormat);
    const QVariant stored = settings.value(KeyPath(section, name));
    if (!stored.isValid()) {
        return EProfileValueState::Missing;
    }
    if (stored.typeId() != QMetaType::QByteArray) {
        return EProfileValueState::WrongType;
    }
    const QByteArray bytes = stored.toByteArray();
    value.assign(reinterpret_cast<const uint8_t*>(bytes.constData()),
                 reinterpret_cast<const uint8_t*>(bytes.constData()) + bytes.size());
    return EProfileValueState::Found;
}

bool ProfileSetBinary(std::string_view section, std::string_view name, std::span<const uint8_t> value)
{
    if (name.empty()) {
        return false;
    }
    QSettings settings(StoreFilePath(), QSettings::IniFormat);
    settings.setValue(KeyPath(section, name),
                      QByteArray(reinterpret_cast<const char*>(value.data()), static_cast<qsizetype>(value.size())));
    return Flush(settings);
}
