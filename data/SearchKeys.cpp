#include "data/SearchKeys.h"

#include "data/PinyinReadings.h"

#include <QMutex>

#include <opencc/opencc.h>

namespace glimora::data {

namespace {

// One converter for the process: opening one reads its dictionaries.
class TraditionalToSimplified
{
public:
    TraditionalToSimplified()
        : m_handle(opencc_open("t2s.json"))
    {
    }
    ~TraditionalToSimplified()
    {
        if (valid())
            opencc_close(m_handle);
    }
    QString convert(const QString& text)
    {
        if (!valid() || text.isEmpty())
            return text;
        const QByteArray utf8 = text.toUtf8();
        QMutexLocker lock(&m_mutex);
        char* converted = opencc_convert_utf8(m_handle, utf8.constData(), size_t(utf8.size()));
        if (converted == nullptr)
            return text;
        const QString result = QString::fromUtf8(converted);
        opencc_convert_utf8_free(converted);
        return result;
    }

private:
    bool valid() const { return m_handle != reinterpret_cast<opencc_t>(-1) && m_handle != nullptr; }
    opencc_t m_handle;
    QMutex m_mutex;
};

TraditionalToSimplified& converter()
{
    static TraditionalToSimplified instance;
    return instance;
}

QString withoutBlanks(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        if (!c.isSpace())
            out += c;
    return out;
}

} // namespace

QString SearchKeys::simplified(const QString& text)
{
    return converter().convert(text);
}

QString SearchKeys::normalisedQuery(const QString& query)
{
    return withoutBlanks(simplified(query)).toLower();
}

namespace {

SearchKeys keysOfSimplified(const QString& simplified);

} // namespace

SearchKeys SearchKeys::of(const QString& text)
{
    return keysOfSimplified(simplified(text));
}

QList<SearchKeys> SearchKeys::of(const QStringList& texts)
{
    // A line break ends every phrase of the converter's dictionaries, as a blank does: the
    // texts converted as lines of one text come out as each would alone.
    QString joined;
    for (const QString& text : texts) {
        QString line = text;
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        joined += line;
        joined += QLatin1Char('\n');
    }
    QStringList lines = simplified(joined).split(QLatin1Char('\n'));
    QList<SearchKeys> keys;
    keys.reserve(texts.size());
    const bool whole = lines.size() == texts.size() + 1;
    for (qsizetype n = 0; n < texts.size(); ++n)
        keys.append(whole ? keysOfSimplified(lines[n]) : of(texts[n]));
    return keys;
}

namespace {

SearchKeys keysOfSimplified(const QString& simplified)
{
    SearchKeys keys;
    keys.text = withoutBlanks(simplified).toLower();
    // Each variant is grown character by character; a character that is no Han character
    // stands for itself in both forms.
    QList<QPair<QString, QString>> variants { { QString(), QString() } };
    for (const char32_t c : keys.text.toUcs4()) {
        QStringList readings = PinyinReadings::of(c);
        if (readings.isEmpty())
            readings = QStringList { QString::fromUcs4(&c, 1) };
        QList<QPair<QString, QString>> grown;
        for (const auto& variant : variants)
            for (const QString& reading : readings)
                grown.append({ variant.first + reading.front(), variant.second + reading });
        // The variant of the usual readings comes first and stays at the cap.
        if (grown.size() > SearchKeys::maxVariants)
            grown.resize(SearchKeys::maxVariants);
        variants = grown;
    }
    for (const auto& variant : variants) {
        if (!keys.initials.contains(variant.first))
            keys.initials.append(variant.first);
        if (!keys.fullPinyin.contains(variant.second))
            keys.fullPinyin.append(variant.second);
    }
    return keys;
}

} // namespace

} // namespace glimora::data
