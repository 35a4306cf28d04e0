// The settings file as artists write it by hand: "[Section]" lines and "key=value" lines whose
// value is the rest of the line exactly as it stands, with no escaping or quoting at all.
#include "ui_internal.h"

#include <QIODevice>
#include <QSet>
#include <QStringList>

namespace {

// Every line of the file as read, in order, so that a write keeps what it does not know.
const QString kLayoutKey = QStringLiteral("\x01layout");

bool IsSectionLine(const QString& line) {
    QString t = line.trimmed();
    return t.size() >= 2 && t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'));
}

// The name of a "[Section]" line, or an empty string for any other line.
QString SectionOf(const QString& line) {
    if (!IsSectionLine(line))
        return QString();
    QString t = line.trimmed();
    return t.mid(1, t.size() - 2).trimmed();
}

// The key of a "key=value" line, or an empty string for any other line.
QString KeyOf(const QString& line) {
    qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0 || IsSectionLine(line))
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
        if (IsSectionLine(line)) {
            section = SectionOf(line);
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

// The keys of one section not yet written, as "key=value" lines.
void AppendNewKeys(const QString& section, const QSettings::SettingsMap& map,
                   QSet<QString>& written, QByteArray& out) {
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        const QString& full = it.key();
        if (full == kLayoutKey || written.contains(full))
            continue;
        qsizetype slash = full.lastIndexOf(QLatin1Char('/'));
        QString keySection = slash < 0 ? QString() : full.left(slash);
        if (keySection != section)
            continue;
        out += (full.mid(slash + 1) + QLatin1Char('=') + it.value().toString()).toUtf8() + '\n';
        written.insert(full);
    }
}

bool WriteProfile(QIODevice& device, const QSettings::SettingsMap& map) {
    const QStringList layout = map.value(kLayoutKey).toStringList();
    QByteArray out;
    QSet<QString> written;
    QSet<QString> sections{QString()};
    QString section;
    for (const QString& line : layout) {
        if (IsSectionLine(line)) {
            // New keys of the section just ended go at its end, before the next header.
            AppendNewKeys(section, map, written, out);
            section = SectionOf(line);
            sections.insert(section);
            out += line.toUtf8() + '\n';
            continue;
        }
        QString key = KeyOf(line);
        if (key.isEmpty()) {
            out += line.toUtf8() + '\n';
            continue;
        }
        const QString full = FullKey(section, key);
        if (written.contains(full)) {
            out += line.toUtf8() + '\n'; // a second equal key, never read: kept as it was
            continue;
        }
        written.insert(full);
        auto it = map.constFind(full);
        if (it != map.constEnd())
            out += (key + QLatin1Char('=') + it.value().toString()).toUtf8() + '\n';
        // A key no longer in the map was removed: its line goes.
    }
    AppendNewKeys(section, map, written, out);
    // Sections that the file did not have yet.
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        if (it.key() == kLayoutKey || written.contains(it.key()))
            continue;
        qsizetype slash = it.key().lastIndexOf(QLatin1Char('/'));
        QString keySection = slash < 0 ? QString() : it.key().left(slash);
        if (!sections.contains(keySection)) {
            out += (QLatin1Char('[') + keySection + QLatin1Char(']')).toUtf8() + '\n';
            sections.insert(keySection);
        }
        AppendNewKeys(keySection, map, written, out);
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

bool IsProfileText(const QString& text) {
    return !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
}

} // namespace ui
