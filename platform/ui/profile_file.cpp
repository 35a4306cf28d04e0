// The settings file as artists write it by hand: "[Section]" lines and "key=value" lines whose
// value is the rest of the line exactly as it stands, with no escaping or quoting at all. The
// file is kept as bytes: a write changes only the lines of the values it changes, and every
// other line goes back as it was read, line end included, whatever its encoding.
#include "ui_internal.h"

#include <QIODevice>
#include <QMap>
#include <QStringList>

#include <cerrno>
#include <optional>
#include <vector>

#include <sys/stat.h>

namespace {

// The whole file as read, so that a write keeps what it does not know.
const QString kLayoutKey = QStringLiteral("\x01layout");

// A hand-kept settings file is a few lines; one far larger is not a settings file, and
// reading it whole at every start would cost its size in time and memory.
constexpr qint64 kMaxProfileBytes = 1 << 20;

// One line of the file: its text and its end ("\n", "\r\n", or nothing on a last line).
struct RawLine {
    QByteArray text;
    QByteArray end;
};

std::vector<RawLine> SplitLines(const QByteArray& bytes) {
    std::vector<RawLine> lines;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype newline = bytes.indexOf('\n', at);
        if (newline < 0) {
            lines.push_back({bytes.mid(at), QByteArray()});
            break;
        }
        qsizetype textEnd = newline;
        if (textEnd > at && bytes[textEnd - 1] == '\r')
            --textEnd;
        lines.push_back({bytes.mid(at, textEnd - at), bytes.mid(textEnd, newline + 1 - textEnd)});
        at = newline + 1;
    }
    return lines;
}

// The line end a new line takes: that of the line before it, so that it matches the file
// around it; the file's first line end when no line before has one.
QByteArray LineEndAfter(const QByteArray& written, const std::vector<RawLine>& lines) {
    if (written.endsWith("\r\n"))
        return "\r\n";
    if (written.endsWith('\n'))
        return "\n";
    for (const RawLine& line : lines)
        if (!line.end.isEmpty())
            return line.end;
    return "\n";
}

// The name of a "[Section]" line; nothing for any other line.
std::optional<QString> SectionOf(const QString& line) {
    QString t = line.trimmed();
    if (t.size() < 2 || !t.startsWith(QLatin1Char('[')) || !t.endsWith(QLatin1Char(']')))
        return std::nullopt;
    return t.mid(1, t.size() - 2).trimmed();
}

// The key of a "key=value" line that is not a section line, or an empty string for any other.
QString KeyOf(const QString& line) {
    qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return QString();
    QString key = line.left(eq).trimmed();
    if (key.startsWith(QLatin1Char(';')) || key.startsWith(QLatin1Char('#')))
        return QString();
    return key;
}

QString ValueOf(const QString& line) {
    return line.mid(line.indexOf(QLatin1Char('=')) + 1);
}

QString FullKey(const QString& section, const QString& key) {
    return section.isEmpty() ? key : section + QLatin1Char('/') + key;
}

bool ReadProfile(QIODevice& device, QSettings::SettingsMap& map) {
    const QByteArray bytes = device.read(kMaxProfileBytes + 1);
    if (bytes.size() > kMaxProfileBytes)
        return false;
    QString section;
    for (const RawLine& raw : SplitLines(bytes)) {
        const QString line = QString::fromUtf8(raw.text);
        if (std::optional<QString> name = SectionOf(line)) {
            section = *name;
            continue;
        }
        QString key = KeyOf(line);
        // The first of two equal keys counts, as on the original platform.
        if (!key.isEmpty() && !map.contains(FullKey(section, key)))
            map.insert(FullKey(section, key), ValueOf(line));
    }
    map.insert(kLayoutKey, bytes);
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
    const std::vector<RawLine> lines = SplitLines(map.value(kLayoutKey).toByteArray());
    QByteArray out;
    auto entryText = [&map](const QString& full) {
        return (full.mid(full.lastIndexOf(QLatin1Char('/')) + 1) + QLatin1Char('=') +
                map.value(full).toString())
            .toUtf8();
    };
    auto newLine = [&](const QByteArray& text) {
        const QByteArray lineEnd = LineEndAfter(out, lines);
        if (!out.isEmpty() && !out.endsWith('\n'))
            out += lineEnd; // the file's last line had no end of its own
        out += text + lineEnd;
    };
    auto finishSection = [&](const QString& section) {
        for (const QString& full : unwritten.take(section))
            newLine(entryText(full));
    };
    QString section;
    for (const RawLine& raw : lines) {
        const QString text = QString::fromUtf8(raw.text);
        const QByteArray asRead = raw.text + raw.end;
        if (std::optional<QString> name = SectionOf(text)) {
            finishSection(section);
            section = *name;
            out += asRead;
            continue;
        }
        const QString key = KeyOf(text);
        const QString full = FullKey(section, key);
        if (key.isEmpty())
            out += asRead;
        else if (unwritten[section].removeOne(full))
            out += map.value(full).toString() == ValueOf(text) ? asRead : entryText(full) + raw.end;
        else if (map.contains(full))
            out += asRead; // a second equal key, never read: kept as it was
        // Otherwise the key was removed and its line goes.
    }
    finishSection(section);
    for (const QString& name : unwritten.keys()) {
        if (unwritten.value(name).isEmpty())
            continue;
        newLine((QLatin1Char('[') + name + QLatin1Char(']')).toUtf8());
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

bool IsProfileFileUsable(const std::string& path) {
    // Opening a FIFO would wait for a writer forever, and a device may never end.
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    return S_ISREG(st.st_mode) && st.st_size <= kMaxProfileBytes;
}

} // namespace ui
