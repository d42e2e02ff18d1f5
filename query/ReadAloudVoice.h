#pragma once

#include <QObject>
#include <QString>

class QTextToSpeech;

namespace glimora::query {

// The station's voice: Qt's text-to-speech, through speech-dispatcher where it is installed,
// in Mandarin where the engine has a Chinese voice. The engine starts at the first reading.
class ReadAloudVoice : public QObject
{
    Q_OBJECT
public:
    explicit ReadAloudVoice(QObject* parent = nullptr);
    ~ReadAloudVoice() override;

    // The engine every voice uses from now on; empty (the default) for speech-dispatcher's
    // when it is installed, otherwise the first one Qt has.
    static void setEngine(const QString& engine);
    static QString engine();

    // Stops any reading and starts reading `text`; empty once started, otherwise what the
    // visitor is told.
    QString say(const QString& text);
    // Stops any reading; nothing when none started.
    void stop();
    bool speaksChinese() const;

    static QString unavailableMessage();

signals:
    // Reading failed after it started.
    void failed(const QString& message);

private:
    bool start();

    QTextToSpeech* m_speech = nullptr;
    bool m_chinese = false;
};

} // namespace glimora::query
