// The settings file as artists write it by hand: "[Section]" lines and "key=value" lines whose
// value is the rest of the line exactly as it stands, with no escaping or quoting at all.
#include "ui_internal.h"

#include <QIODevice>
#include <QMap>
#include <QStringList>

#include <optional>

namespace {

// Every line of the file as read, in order, so that a write keeps what it does not know.
const QString kLayoutKey = QStringLiteral("\x01layout");

// The name of a "[Section]" line; nothing for any other line.
std::optional<QString> SectionOf(const QString& line) {
    QString t = line.trimmed();
    if (t.size() < 2 || !t.startsWith(QLatin1Char('[')) || !t.endsWith(QLatin1Char(']')))
        return std::nullopt;
    return t.mid(1, t.size() - 2).trimmed();
}

// The key of a "key=value" line, trimmed; an empty string for a line without one and for a
// comment line (";" or "#"). It does not tell section lines apart: callers ask SectionOf first.
QString KeyOf(const QString& line) {
    qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return QString();
    QString key = line.left(eq).trimmed();
    if (key.startsWith(QLatin1Char(';')) || key.startsWith(QLatin1Char('#')))
        return QString();
    return key;
}

QString FullKey(const QString& section, const QString& key) {
    return section.isEmpty() ? key : section + QLatin1Char('/') + key;
}

QStringList SplitLines(const QByteArray& bytes) {
    QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    return lines;
}

bool ReadProfile(QIODevice& device, QSettings::SettingsMap& map) {
    const QStringList lines = SplitLines(device.readAll());
    QString section;
    for (const QString& line : lines) {
        if (std::optional<QString> name = SectionOf(line)) {
            section = *name;
            continue;
        }
        QString key = KeyOf(line);
        // The first of two equal keys counts, as on the original platform.
        if (!key.isEmpty() && !map.contains(FullKey(section, key)))
            map.insert(FullKey(section, key), line.mid(line.indexOf(QLatin1Char('=')) + 1));
    }
    map.insert(kLayoutKey, lines);
    return true;
}

QString SectionPart(const QString& fullKey) {
    qsizetype slash = fullKey.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : fullKey.left(slash);
}

// Keys the file already holds are written where they stand, new keys at the end of their
// section, new sections at the end of the file.
bool WriteProfile(QIODevice& device, const QSettings::SettingsMap& map) {
    QMap<QString, QStringList> unwritten; // by section
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        if (it.key() != kLayoutKey)
            unwritten[SectionPart(it.key())] += it.key();
    QByteArray out;
    auto line = [&out](const QString& text) { out += text.toUtf8() + '\n'; };
    auto entry = [&](const QString& full) {
        line(full.mid(full.lastIndexOf(QLatin1Char('/')) + 1) + QLatin1Char('=') +
             map.value(full).toString());
    };
    auto finishSection = [&](const QString& section) {
        for (const QString& full : unwritten.take(section))
            entry(full);
    };
    QString section;
    for (const QString& text : map.value(kLayoutKey).toStringList()) {
        if (std::optional<QString> name = SectionOf(text)) {
            finishSection(section);
            section = *name;
            line(text);
            continue;
        }
        const QString key = KeyOf(text);
        const QString full = FullKey(section, key);
        if (key.isEmpty())
            line(text);
        else if (unwritten[section].removeOne(full))
            entry(full);
        else if (map.contains(full))
            line(text); // a second equal key, never read: kept as it was
        // Otherwise the key was removed and its line goes.
    }
    finishSection(section);
    for (const QString& name : unwritten.keys()) {
        if (unwritten.value(name).isEmpty())
            continue;
        line(QLatin1Char('[') + name + QLatin1Char(']'));
        finishSection(name);
    }
    return device.write(out) == out.size();
}

} // namespace

namespace ui {

QSettings::Format ProfileFormat() {
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("conf"), ReadProfile, WriteProfile);
    return format;
}

} // namespace ui
