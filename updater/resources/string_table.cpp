#include "updater/resources/string_table.h"

#include <array>
#include <cstddef>

namespace updater::resources {

namespace {

constexpr int FirstId = 110;

constexpr std::array<const char*, 14> English = {
    // 110
    "This program enables to update the firmware for QRM-284[Q-LinkFM].\nPress CANCEL button to cancel the firmware "
    "update if it's not necessary.\n\nCaution) It may give the player a serious damage if you compulsorily disconnect "
    "the cable or cancel the process while it is updating.",
    // 111
    "The firmware information in operation of the player is as following;\nPress NEXT button to replace the current "
    "firmware of the player.\n\nCaution) It may give the player a serious damage if you compulsorily disconnect the "
    "cable or cancel the process while it is updating.",
    // 112
    "It is not able to receive the firmware information from the Player.\nRestart the program after reconnecting the "
    "USB cable by checking if the cable is in good condition.\nAsk your agent or seller if the problem still remains "
    "after restarting the software.",
    // 113
    "Firmware updated has been completed.\nYou must format the whole system to properly operate the player.\n"
    "Reconnect it after setting the player to USB mode.\n\nThe method to set USB mode is as following;\n"
    "1. Start the player\n2. \"Can't not access to the memory\" or \"format\" message may appear on the LCD after the "
    "booting. Please wait for about 4 second until the HOLD key gets enabled.\n3. Use the HOLD key to have HOLD icon "
    "appeared on the LCD. \n4. Press the MODE button of the player for more than 2 seconds\n5. With the message "
    "\"USB MODE...\" appeared on the LCD of the player, USB mode setting is completed.\n\nPress NEXT button to format "
    "all system.\n",
    // 114
    "The firmware is being updated.\nThe update may take several minutes.\n\nCaution) It may give the player a serious "
    "damage if you compulsorily stops the process, please wait a while until it finishes.",
    // 115
    "To update the firmware press the NEXT button by assuring \"Power On\", \"USB Inserted\" on the player after "
    "connecting the USB cable.  \n\nIf one firmware that supports Mass Storage function is in the player, connect it "
    "after setting the mode to USB. \n\nThe method to set the USB mode is as following;\n1. Turn the player on. \n"
    "2. Use the HOLD key to have HOLD icon appeared on the LCD. \n3. Press the MODE button of the player for more than "
    "1-2 seconds\n4. With the message \"USB MODE...\" appeared on the LCD of the player, USB mode setting is "
    "completed.\n",
    // 116
    "The latest versioned firmware is already in the player.\nDo you wish to continue?",
    // 117
    "It's currently formatting the whole system.\nIt may take up to ten minute to format the whole system depending "
    "on the system and the memory of the player. \n\nCaution) It may not read the memory if you compulsorily "
    "disconnect the cable or cancel the process.\n",
    // 118
    "It's currently executing the font download.",
    // 119
    "An error occurred while updating the firmware. The player may not start properly.\nAfter closing the program "
    "restart the update by assuring if the player has started properly.\nAsk your agent or seller if the problem still "
    "remains after restarting the software or the player is not able to start.",
    // 120
    "An error occurred while formatting.\nExecute the format for the whole system with \"Format\" software among "
    "utilities which have been previously installed.\n",
    // 121
    "An error occurred while downloading the font.\nExecute the font downloading with \"Format\" software among "
    "QRM-197(284) Utility which have been previously installed.\n",
    // 122
    "All the update processes have been completed.\nPress \"Finish\" button to end the program.\n",
    // 123
    "The firmware information in operation of the player is as following.",
};

constexpr std::array<const char*, 14> Korean = {
    // 110
    "이 프로그램은 QRM-284[Q-LinkFM]의 펌웨어를 업데이트합니다.\n펌웨어 업데이트가 필요하지 않으면 취소(CANCEL) 버튼을 "
    "눌러 업데이트를 취소하십시오.\n\n주의) 업데이트 중에 케이블을 강제로 분리하거나 작업을 취소하면 플레이어가 심각하게 "
    "손상될 수 있습니다.",
    // 111
    "플레이어에서 동작 중인 펌웨어 정보는 다음과 같습니다.\n플레이어의 현재 펌웨어를 교체하려면 다음(NEXT) 버튼을 "
    "누르십시오.\n\n주의) 업데이트 중에 케이블을 강제로 분리하거나 작업을 취소하면 플레이어가 심각하게 손상될 수 있습니다.",
    // 112
    "플레이어로부터 펌웨어 정보를 받을 수 없습니다.\nUSB 케이블의 상태가 양호한지 확인하여 다시 연결한 후 프로그램을 다시 "
    "시작하십시오.\n소프트웨어를 다시 시작한 후에도 문제가 계속되면 대리점이나 판매처에 문의하십시오.",
    // 113
    "펌웨어 업데이트가 완료되었습니다.\n플레이어가 올바르게 동작하려면 시스템 전체를 포맷해야 합니다.\n플레이어를 USB "
    "모드로 설정한 후 다시 연결하십시오.\n\nUSB 모드 설정 방법은 다음과 같습니다.\n1. 플레이어를 켭니다.\n2. 부팅 후 "
    "LCD에 \"Can't not access to the memory\" 또는 \"format\" 메시지가 나타날 수 있습니다. HOLD 키가 동작할 때까지 약 "
    "4초 동안 기다리십시오.\n3. HOLD 키를 사용하여 LCD에 HOLD 아이콘이 나타나게 합니다.\n4. 플레이어의 MODE 버튼을 2초 "
    "이상 누릅니다.\n5. 플레이어의 LCD에 \"USB MODE...\" 메시지가 나타나면 USB 모드 설정이 완료된 것입니다.\n\n시스템 "
    "전체를 포맷하려면 다음(NEXT) 버튼을 누르십시오.\n",
    // 114
    "펌웨어를 업데이트하고 있습니다.\n업데이트에는 몇 분 정도 걸릴 수 있습니다.\n\n주의) 작업을 강제로 중단하면 플레이어가 "
    "심각하게 손상될 수 있으니 끝날 때까지 잠시 기다려 주십시오.",
    // 115
    "펌웨어를 업데이트하려면 USB 케이블을 연결한 후 플레이어에 \"Power On\", \"USB Inserted\"가 표시되는지 확인하고 "
    "다음(NEXT) 버튼을 누르십시오.\n\n플레이어에 대용량 저장 장치(Mass Storage) 기능을 지원하는 펌웨어가 있으면 USB "
    "모드로 설정한 후 연결하십시오.\n\nUSB 모드 설정 방법은 다음과 같습니다.\n1. 플레이어를 켭니다.\n2. HOLD 키를 "
    "사용하여 LCD에 HOLD 아이콘이 나타나게 합니다.\n3. 플레이어의 MODE 버튼을 1~2초 이상 누릅니다.\n4. 플레이어의 LCD에 "
    "\"USB MODE...\" 메시지가 나타나면 USB 모드 설정이 완료된 것입니다.\n",
    // 116
    "플레이어에 이미 최신 버전의 펌웨어가 있습니다.\n계속하시겠습니까?",
    // 117
    "시스템 전체를 포맷하고 있습니다.\n플레이어의 시스템과 메모리에 따라 시스템 전체를 포맷하는 데 최대 10분이 걸릴 수 "
    "있습니다.\n\n주의) 케이블을 강제로 분리하거나 작업을 취소하면 메모리를 읽지 못할 수 있습니다.\n",
    // 118
    "폰트를 다운로드하고 있습니다.",
    // 119
    "펌웨어를 업데이트하는 중에 오류가 발생했습니다. 플레이어가 올바르게 시작되지 않을 수 있습니다.\n프로그램을 닫은 후 "
    "플레이어가 올바르게 시작되는지 확인하고 업데이트를 다시 시작하십시오.\n소프트웨어를 다시 시작한 후에도 문제가 "
    "계속되거나 플레이어가 시작되지 않으면 대리점이나 판매처에 문의하십시오.",
    // 120
    "포맷하는 중에 오류가 발생했습니다.\n이전에 설치한 유틸리티 중 \"Format\" 소프트웨어로 시스템 전체를 포맷하십시오.\n",
    // 121
    "폰트를 다운로드하는 중에 오류가 발생했습니다.\n이전에 설치한 QRM-197(284) 유틸리티 중 \"Format\" 소프트웨어로 "
    "폰트를 다운로드하십시오.\n",
    // 122
    "모든 업데이트 과정이 완료되었습니다.\n\"마침\"(Finish) 버튼을 눌러 프로그램을 종료하십시오.\n",
    // 123
    "플레이어에서 동작 중인 펌웨어 정보는 다음과 같습니다.",
};

} // namespace

const char* LoadStringResource(int id, uint16_t systemLangId) {
    if (id < FirstId || id >= FirstId + static_cast<int>(English.size())) {
        return nullptr;
    }
    const auto& table = systemLangId == LangKorean ? Korean : English;
    return table[static_cast<size_t>(id - FirstId)];
}

} // namespace updater::resources
