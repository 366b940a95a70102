#include "app/platform/settings.h"

#include <QSettings>
#include <QStringList>

#include <array>

#include "engine/base/error.h"
#include "app/platform/qtext.h"

namespace vebix {
namespace {

constexpr std::array<Settings::KeyInfo, 3> kKeys = {{
    {Settings::Key::LastMindFile, "", "LastMindFile", Settings::Kind::String, "", 0},
    {Settings::Key::LastUserName, "", "LastUserName", Settings::Kind::String, "", 0},
    {Settings::Key::Delay, "", "Delay", Settings::Kind::Dword, "", 1},
}};

constexpr const char* kOrganisation = "Vebix";

std::optional<std::uint32_t> parseDecimal(const QString& text) {
    if (text.isEmpty() || text.size() > 10) return std::nullopt;
    std::uint64_t value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c.unicode() - u'0');
    }
    if (value > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

}  // namespace

const Settings::KeyInfo& Settings::info(Key key) {
    for (const KeyInfo& k : kKeys)
        if (k.key == key) return k;
    return kKeys.front();
}

Settings::Settings()
    : store_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                         kOrganisation)) {}

Settings::Settings(const QString& filePath)
    : store_(std::make_unique<QSettings>(filePath, QSettings::NativeFormat)) {}

Settings::~Settings() = default;

QString Settings::encodeName(std::string_view name) {
    if (name.empty()) return QStringLiteral("%");
    QString in = fromUtf8(name);
    QString out;
    out.reserve(in.size());
    for (QChar c : in) {
        if (c == u'%')
            out += QStringLiteral("%25");
        else if (c == u'/')
            out += QStringLiteral("%2F");
        else if (c == u'\\')
            out += QStringLiteral("%5C");
        else
            out += c;
    }
    return out;
}

std::string Settings::decodeName(const QString& stored) {
    if (stored == QStringLiteral("%")) return {};
    QString out;
    out.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (stored[i] == u'%' && i + 2 < stored.size()) {
            QStringView code = QStringView(stored).mid(i + 1, 2);
            if (code == u"25") {
                out += u'%';
                i += 2;
                continue;
            }
            if (code.compare(u"2F", Qt::CaseInsensitive) == 0) {
                out += u'/';
                i += 2;
                continue;
            }
            if (code.compare(u"5C", Qt::CaseInsensitive) == 0) {
                out += u'\\';
                i += 2;
                continue;
            }
        }
        out += stored[i];
    }
    return out.toStdString();
}

QString Settings::keyPath(std::string_view group, std::string_view name) const {
    if (group.empty()) return encodeName(capped(name));
    return encodeName(group) + u'/' + encodeName(capped(name));
}

std::optional<std::string> Settings::readString(std::string_view group,
                                                std::string_view name) const {
    QVariant v = store_->value(keyPath(group, name));
    if (!v.isValid()) return std::nullopt;
    // A value edited by hand to hold commas reads back as a list.
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(u',').toStdString();
    if (!v.canConvert<QString>()) return std::nullopt;
    return v.toString().toStdString();
}

std::optional<std::uint32_t> Settings::readDword(std::string_view group,
                                                 std::string_view name) const {
    QVariant v = store_->value(keyPath(group, name));
    if (!v.isValid() || v.typeId() == QMetaType::QStringList || !v.canConvert<QString>())
        return std::nullopt;
    return parseDecimal(v.toString());
}

std::string_view Settings::capped(std::string_view text) {
    if (text.size() <= kMaxStoredBytes) return text;
    std::size_t end = kMaxStoredBytes;
    // Not inside a character: back to the start of the one that would be cut.
    for (int i = 0; i < 3 && end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80; ++i)
        --end;
    return text.substr(0, end);
}

void Settings::writeString(std::string_view group, std::string_view name, std::string_view value) {
    store_->setValue(keyPath(group, name), fromUtf8(capped(value)));
}

void Settings::writeDword(std::string_view group, std::string_view name, std::uint32_t value) {
    store_->setValue(keyPath(group, name), static_cast<qulonglong>(value));
}

void Settings::removeValue(std::string_view group, std::string_view name) {
    store_->remove(keyPath(group, name));
}

std::vector<std::string> Settings::valueNames(std::string_view group) const {
    if (!group.empty()) store_->beginGroup(encodeName(group));
    const QStringList keys = store_->childKeys();
    if (!group.empty()) store_->endGroup();
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(keys.size()));
    for (const QString& k : keys) names.push_back(decodeName(k));
    return names;
}

std::optional<std::string> Settings::findString(Key key) const {
    const KeyInfo& k = info(key);
    return readString(k.group, k.name);
}

std::optional<std::uint32_t> Settings::findDword(Key key) const {
    const KeyInfo& k = info(key);
    return readDword(k.group, k.name);
}

std::string Settings::getString(Key key) const {
    return findString(key).value_or(std::string(info(key).defaultString));
}

std::uint32_t Settings::getDword(Key key) const {
    return findDword(key).value_or(info(key).defaultDword);
}

void Settings::setString(Key key, std::string_view value) {
    const KeyInfo& k = info(key);
    writeString(k.group, k.name, value);
}

void Settings::setDword(Key key, std::uint32_t value) {
    const KeyInfo& k = info(key);
    writeDword(k.group, k.name, value);
}

void Settings::sync() {
    store_->sync();
    if (store_->status() != QSettings::NoError) throw Error("Unable to save the settings");
}

QString Settings::filePath() const { return store_->fileName(); }

}  // namespace vebix
