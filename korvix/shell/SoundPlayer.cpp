#include "shell/SoundPlayer.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QBuffer>
#include <QEventLoop>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>

void SoundPlayer::play(const std::uint8_t* bytes, std::size_t size)
{
    if (!bytes || size == 0 || QMediaDevices::audioOutputs().isEmpty())
        return;
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
    buffer.open(QIODevice::ReadOnly);

    QMediaPlayer player;
    QAudioOutput output;
    player.setAudioOutput(&output);
    QEventLoop loop;
    QObject::connect(&player, &QMediaPlayer::mediaStatusChanged, &loop, [&loop](QMediaPlayer::MediaStatus s) {
        if (s == QMediaPlayer::EndOfMedia || s == QMediaPlayer::InvalidMedia)
            loop.quit();
    });
    QObject::connect(&player, &QMediaPlayer::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(MAX_MILLISECONDS, &loop, &QEventLoop::quit);
    player.setSourceDevice(&buffer, QUrl(QStringLiteral("entry.wav")));
    player.play();
    if (player.error() == QMediaPlayer::NoError)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    player.stop();
}
