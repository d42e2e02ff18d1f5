#include "settings/AsciiBlanks.h"
#include "settings/IniDocument.h"
#include "tests/fuzz/FuzzTargets.h"

#include <QList>
#include <QSet>
#include <stdexcept>
#include <utility>

namespace glimora::fuzz {

namespace {

using Key = std::pair<QString, QString>;

const QList<Key>& writtenKeys()
{
    static const QList<Key> keys {
        { "system", "database" },
        { "system", "sqlserver" },
        { "system", "connect" },
        { "system", "user1" },
        { "system", "user3" },
        { "system", "excelpath" },
        { "system", "time" },
        { "show", "f1h" },
        { "show", "head2" },
        { "select", "select" },
        { "insert", "inserttext" },
        { "comfil", "com1" },
        { "comfil", "com19" },
        { "SYSTEM", "Database" },
        { "new section", "key" },
        { "system", " user2 " },
    };
    return keys;
}

QList<QByteArray> linesOf(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    return bytes.split('\n');
}

// Sections and keys to ask for: the station's own and every name the file seems to hold.
QList<Key> probes(const QByteArray& bytes)
{
    QList<QString> sections;
    QList<QString> keys;
    for (const Key& key : writtenKeys()) {
        sections.append(key.first);
        keys.append(key.second);
    }
    for (const QByteArray& raw : linesOf(bytes)) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'[') && line.contains(u']'))
            sections.append(line.mid(1, line.indexOf(u']') - 1));
        else if (line.contains(u'='))
            keys.append(line.left(line.indexOf(u'=')));
    }
    QList<Key> pairs;
    for (const QString& section : sections.mid(0, 40)) {
        for (const QString& key : keys.mid(0, 60))
            pairs.append({ section, key });
    }
    return pairs;
}

bool sameKey(const Key& a, const Key& b)
{
    return a.first.compare(b.first, Qt::CaseInsensitive) == 0
        && settings::withoutAsciiBlanks(a.second).compare(
               settings::withoutAsciiBlanks(b.second), Qt::CaseInsensitive)
        == 0;
}

// Apart from the written key's line (and a section line before it, and a line ending for a
// last line that had none), the file comes back byte for byte.
bool onlyOneLineChanged(const QByteArray& before, const QByteArray& after)
{
    if (before.startsWith("\xEF\xBB\xBF") != after.startsWith("\xEF\xBB\xBF"))
        return false;
    const QList<QByteArray> a = linesOf(before);
    const QList<QByteArray> b = linesOf(after);
    qsizetype prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < a.size() - prefix && suffix < b.size() - prefix
        && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
        ++suffix;
    return a.size() - prefix - suffix <= 1 && b.size() - prefix - suffix <= 4;
}

} // namespace

// Bytes: a key chooser, the length of the value, the value (UTF-8), then the file.
int settingsFile(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 256 * 1024)
        return 0;
    const Key written = writtenKeys()[data[0] % writtenKeys().size()];
    const size_t valueLength = qMin<size_t>(data[1], size - 2);
    const QString value = QString::fromUtf8(reinterpret_cast<const char*>(data) + 2, qsizetype(valueLength));
    const QByteArray file(
        reinterpret_cast<const char*>(data) + 2 + valueLength, qsizetype(size - 2 - valueLength));

    const settings::IniDocument before = settings::IniDocument::fromBytes(file);
    settings::IniDocument document = before;
    try {
        document.setValue(written.first, written.second, value);
    } catch (const std::invalid_argument&) {
        return 0; // refused before anything is written: the file stays as it was
    }
    const QByteArray bytes = document.toBytes();
    const settings::IniDocument after = settings::IniDocument::fromBytes(bytes);

    QString expected = value;
    expected.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(u'\r', u' ').replace(u'\n', u' ');
    // Only ASCII blanks are cut: a wider space such as U+0085 or U+3000 belongs to the value.
    fuzzCheck(after.value(written.first, written.second) == settings::withoutAsciiBlanks(expected),
        "the written value reads back", qPrintable(after.value(written.first, written.second)));
    fuzzCheck(onlyOneLineChanged(file, bytes), "only the written line changes");
    for (const Key& probe : probes(file)) {
        if (sameKey(probe, written))
            continue;
        fuzzCheck(after.value(probe.first, probe.second) == before.value(probe.first, probe.second),
            "every other key reads as before", qPrintable(probe.first + u'/' + probe.second));
    }
    return 0;
}

} // namespace glimora::fuzz
