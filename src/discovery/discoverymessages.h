#ifndef DISCOVERYMESSAGES_H
#define DISCOVERYMESSAGES_H

#include <QtGlobal>

// The commands the tool sends to the discovery group.
enum cmdType {
    CMD_SEARCH = 0,
    CMD_CONFIGNET = 1,
    CMD_REBOOT = 2,
    CMD_FLICKER_OPEN = 3,
    CMD_FLICKER_CLOSE = 4,
};

// The kinds of datagram that arrive on the discovery port.
enum msgType : qint8 {
    MSG_SEARCH = 0,
    MSG_REPLY_OK = 1,
    MSG_CONFIGNET = 2,
    MSG_SUCCEED = 3,
    MSG_FAILED = 4,
};

#endif // DISCOVERYMESSAGES_H
