// The room classes data may name in [Room] Class.
#include "game/SpyGame/Rooms/Decrypt.h"
#include "game/SpyGame/Rooms/GlobalMap.h"
#include "game/SpyGame/Rooms/InvCards.h"
#include "game/SpyGame/Rooms/MurderHunt.h"
#include "game/SpyGame/Rooms/PuzzleRoom.h"

void RegisterRoomKinds()
{
    CRoomFactory::Register<CRoomBase>(CRoomBase::kClassName);
    CRoomFactory::Register<CGlobalMap>(CGlobalMap::kClassName);
    CRoomFactory::Register<CInvCards>(CInvCards::kClassName);
    CRoomFactory::Register<CMurderHunt>(CMurderHunt::kClassName);
    CRoomFactory::Register<CDecrypt>(CDecrypt::kClassName);
    CRoomFactory::Register<CPicture>(CPicture::kClassName);
    CRoomFactory::Register<CChoppedMessage>(CChoppedMessage::kClassName);
    CRoomFactory::Register<CClueMatching>(CClueMatching::kClassName);
}
