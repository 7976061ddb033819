#pragma once
// Every value of the investigation's state word, for the code that moves it
// and the tests that read it.
#include <cstdint>

namespace InvState {
constexpr std::uint32_t Ready = 4;
constexpr std::uint32_t Play = 5;
constexpr std::uint32_t FadeIn = 6;
constexpr std::uint32_t GoBack = 7;
constexpr std::uint32_t PickItem = 8;
constexpr std::uint32_t Evidence = 9;
constexpr std::uint32_t MHPhoto = 10;
constexpr std::uint32_t InvCard = 11;
constexpr std::uint32_t MurderHunt = 12;
constexpr std::uint32_t InvCards = 13;
constexpr std::uint32_t ItemIdent = 14;
constexpr std::uint32_t EventForItem = 15;
constexpr std::uint32_t Comics = 17;
constexpr std::uint32_t Flash = 18;
constexpr std::uint32_t FlashQuestion = 19;
constexpr std::uint32_t ModalTip = 20;
constexpr std::uint32_t SearchFinish = 22;
constexpr std::uint32_t LocFinish = 23;
constexpr std::uint32_t MHFinished = 24;
constexpr std::uint32_t SolveConfirm = 25;
constexpr std::uint32_t Banner = 26;
constexpr std::uint32_t Closed = 27;
constexpr std::uint32_t Map = 28;
constexpr std::uint32_t InGameMenu = 29;
constexpr std::uint32_t Paused = 30;
constexpr std::uint32_t HintList = 31;
constexpr std::uint32_t RandomClicking = 32;
constexpr std::uint32_t OutOfTime = 33;
constexpr std::uint32_t OutOfTimeDone = 34;
constexpr std::uint32_t RoomToLoad = 35;
constexpr std::uint32_t FAFinished = 36;
constexpr std::uint32_t Help = 37;
constexpr std::uint32_t Tutorial = 38;
constexpr std::uint32_t TutorialBig = 39;
constexpr std::uint32_t Comment = 40;
constexpr std::uint32_t MHInstruction = 41;
constexpr std::uint32_t IntroText = 42;
} // namespace InvState
