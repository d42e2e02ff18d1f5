#include "query/ReadAloudVoice.h"

#include <QDebug>
#include <QTextToSpeech>

namespace glimora::query {

namespace {

QString& chosenEngine()
{
    static QString engine;
    return engine;
}

} // namespace

ReadAloudVoice::ReadAloudVoice(QObject* parent)
    : QObject(parent)
{
}

ReadAloudVoice::~ReadAloudVoice() = default;

void ReadAloudVoice::setEngine(const QString& engine)
{
    chosenEngine() = engine;
}

QString ReadAloudVoice::engine()
{
    if (!chosenEngine().isEmpty())
        return chosenEngine();
    const QStringList engines = QTextToSpeech::availableEngines();
    if (engines.contains(QStringLiteral("speechd")))
        return QStringLiteral("speechd");
    return engines.value(0);
}

QString ReadAloudVoice::unavailableMessage()
{
    return QString::fromUtf8("朗读不可用：本机没有可用的语音引擎，请联系管理员。");
}

bool ReadAloudVoice::speaksChinese() const
{
    return m_chinese;
}

bool ReadAloudVoice::start()
{
    if (m_speech)
        return m_speech->state() != QTextToSpeech::Error;
    const QString name = engine();
    if (name.isEmpty())
        return false;
    m_speech = new QTextToSpeech(name, this);
    if (m_speech->state() == QTextToSpeech::Error) {
        qWarning().noquote() << "glimora: the speech engine" << name
                             << "did not start:" << m_speech->errorString();
        return false;
    }
    // A Chinese voice of the mainland first, then any other Chinese one.
    QLocale chosen(QLocale::C);
    for (const QLocale& locale : m_speech->availableLocales()) {
        if (locale.language() != QLocale::Chinese)
            continue;
        if (chosen.language() != QLocale::Chinese || locale.territory() == QLocale::China)
            chosen = locale;
    }
    if (chosen.language() == QLocale::Chinese) {
        m_speech->setLocale(chosen);
        m_chinese = true;
    } else {
        qWarning().noquote() << "glimora: the speech engine" << name << "has no Chinese voice";
    }
    connect(m_speech, &QTextToSpeech::errorOccurred, this,
        [this](QTextToSpeech::ErrorReason, const QString& text) {
            qWarning().noquote() << "glimora: reading aloud failed:" << text;
            emit failed(unavailableMessage());
        });
    return true;
}

QString ReadAloudVoice::say(const QString& text)
{
    if (!start())
        return unavailableMessage();
    m_speech->stop();
    if (!text.isEmpty())
        m_speech->say(text);
    return QString();
}

void ReadAloudVoice::stop()
{
    if (m_speech)
        m_speech->stop();
}

} // namespace glimora::query
