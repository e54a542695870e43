#pragma once

// The player's events connected to its slots as the program's builder connects them.

#include "player.h"
#include "taudioplayer2.h"

#include <QObject>

inline void ConnectPlayerEvents(TAudioPlayer2& AudioPlayer21, Player& player) {
    QObject::connect(&AudioPlayer21, &TAudioPlayer2::OnRequestOnLoadArray, &player,
                     &Player::AudioPlayer21RequestOnLoadArray);
    QObject::connect(&AudioPlayer21, &TAudioPlayer2::OnEndArrayPlay, &player,
                     &Player::AudioPlayer21EndArrayPlay);
    QObject::connect(&AudioPlayer21, &TAudioPlayer2::OnEndPlay, &player,
                     &Player::AudioPlayer21EndPlay);
    QObject::connect(&AudioPlayer21, &TAudioPlayer2::OnTimer, &player, &Player::AudioPlayer21Timer);
}
