#include "tools/qrm284/update_texts.h"
#include "tools/qrm284/update_terminal.h"

#include <array>

namespace qrm284 {

namespace {

using updater::TextId;

// On a terminal nothing waits for NEXT: the steps follow one another, the
// player is waited for, and Ctrl+C is what cancels.
constexpr std::array<ButtonSentence, 25> Sentences = {{
    // English
    {TextId::Welcome, updater::LangEnglishUs,
     "Press CANCEL button to cancel the firmware update if it's not necessary.",
     "Press Ctrl+C to cancel the firmware update if it's not necessary."},
    {TextId::VersionShown, updater::LangEnglishUs, "Press NEXT button to replace the current firmware of the player.",
     "The current firmware of the player is replaced next (--dry-run stops here)."},
    {TextId::ReconnectForFormat, updater::LangEnglishUs, "Press NEXT button to format all system.",
     "The whole system is formatted as soon as the player is back in USB mode."},
    {TextId::ConnectPlayer, updater::LangEnglishUs,
     "To update the firmware press the NEXT button by assuring \"Power On\", \"USB Inserted\" on the player after "
     "connecting the USB cable.",
     "To update the firmware connect the USB cable and make sure the player shows \"Power On\", \"USB Inserted\"; "
     "the update goes on as soon as the player answers."},
    {TextId::AllDone, updater::LangEnglishUs, "\nPress \"Finish\" button to end the program.", ""},
    // Korean
    {TextId::Welcome, updater::LangKorean,
     "펌웨어 업데이트가 필요하지 않으면 취소(CANCEL) 버튼을 눌러 업데이트를 취소하십시오.",
     "펌웨어 업데이트가 필요하지 않으면 Ctrl+C를 눌러 업데이트를 취소하십시오."},
    {TextId::VersionShown, updater::LangKorean, "플레이어의 현재 펌웨어를 교체하려면 다음(NEXT) 버튼을 누르십시오.",
     "이어서 플레이어의 현재 펌웨어를 교체합니다(--dry-run은 여기서 멈춥니다)."},
    {TextId::ReconnectForFormat, updater::LangKorean, "시스템 전체를 포맷하려면 다음(NEXT) 버튼을 누르십시오.",
     "플레이어가 USB 모드로 돌아오면 바로 시스템 전체를 포맷합니다."},
    {TextId::ConnectPlayer, updater::LangKorean,
     "펌웨어를 업데이트하려면 USB 케이블을 연결한 후 플레이어에 \"Power On\", \"USB Inserted\"가 표시되는지 확인하고 "
     "다음(NEXT) 버튼을 누르십시오.",
     "펌웨어를 업데이트하려면 USB 케이블을 연결한 후 플레이어에 \"Power On\", \"USB Inserted\"가 표시되는지 "
     "확인하십시오. 플레이어가 응답하면 바로 업데이트가 계속됩니다."},
    {TextId::AllDone, updater::LangKorean, "\n\"마침\"(Finish) 버튼을 눌러 프로그램을 종료하십시오.", ""},
    // Japanese
    {TextId::Welcome, updater::LangJapanese,
     "ファームウェアの更新が必要ない場合は、キャンセル(CANCEL)ボタンを押して更新を中止してください。",
     "ファームウェアの更新が必要ない場合は、Ctrl+C を押して更新を中止してください。"},
    {TextId::VersionShown, updater::LangJapanese,
     "プレーヤーの現在のファームウェアを置き換えるには、次へ(NEXT)ボタンを押してください。",
     "続いてプレーヤーの現在のファームウェアを置き換えます（--dry-run はここで止まります）。"},
    {TextId::ReconnectForFormat, updater::LangJapanese,
     "システム全体をフォーマットするには、次へ(NEXT)ボタンを押してください。",
     "プレーヤーが USB モードに戻るとすぐに、システム全体をフォーマットします。"},
    {TextId::ConnectPlayer, updater::LangJapanese,
     "ファームウェアを更新するには、USB ケーブルを接続した後、プレーヤーに「Power On」「USB Inserted」と表示されて"
     "いることを確認してから、次へ(NEXT)ボタンを押してください。",
     "ファームウェアを更新するには、USB ケーブルを接続した後、プレーヤーに「Power On」「USB Inserted」と表示されて"
     "いることを確認してください。プレーヤーが応答するとすぐに更新が続きます。"},
    {TextId::AllDone, updater::LangJapanese, "\n完了(Finish)ボタンを押してプログラムを終了してください。", ""},
    // Traditional Chinese
    {TextId::Welcome, updater::LangChineseTaiwan, "如果不需要更新韌體，請按「取消」(CANCEL) 按鈕取消更新。",
     "如果不需要更新韌體，請按 Ctrl+C 取消更新。"},
    {TextId::VersionShown, updater::LangChineseTaiwan, "若要更換播放器目前的韌體，請按「下一步」(NEXT) 按鈕。",
     "接著將更換播放器目前的韌體（--dry-run 會在此停止）。"},
    {TextId::ReconnectForFormat, updater::LangChineseTaiwan, "請按「下一步」(NEXT) 按鈕格式化整個系統。",
     "播放器回到 USB 模式後，將立即格式化整個系統。"},
    {TextId::ConnectPlayer, updater::LangChineseTaiwan,
     "要更新韌體，請在連接 USB 連接線後，確認播放器上顯示「Power On」、「USB Inserted」，再按「下一步」(NEXT) 按鈕。",
     "要更新韌體，請在連接 USB 連接線後，確認播放器上顯示「Power On」、「USB Inserted」。播放器回應後，更新將立即繼續。"},
    {TextId::AllDone, updater::LangChineseTaiwan, "\n請按「完成」(Finish) 按鈕結束本程式。", ""},
    // Simplified Chinese
    {TextId::Welcome, updater::LangChinesePrc, "如果不需要更新固件，请按“取消”(CANCEL) 按钮取消更新。",
     "如果不需要更新固件，请按 Ctrl+C 取消更新。"},
    {TextId::VersionShown, updater::LangChinesePrc, "若要更换播放器当前的固件，请按“下一步”(NEXT) 按钮。",
     "接着将更换播放器当前的固件（--dry-run 会在此停止）。"},
    {TextId::ReconnectForFormat, updater::LangChinesePrc, "请按“下一步”(NEXT) 按钮格式化整个系统。",
     "播放器回到 USB 模式后，将立即格式化整个系统。"},
    {TextId::ConnectPlayer, updater::LangChinesePrc,
     "要更新固件，请在连接 USB 数据线后，确认播放器上显示“Power On”、“USB Inserted”，再按“下一步”(NEXT) 按钮。",
     "要更新固件，请在连接 USB 数据线后，确认播放器上显示“Power On”、“USB Inserted”。播放器响应后，更新将立即继续。"},
    {TextId::AllDone, updater::LangChinesePrc, "\n请按“完成”(Finish) 按钮退出本程序。", ""},
}};

} // namespace

std::span<const ButtonSentence> ButtonSentences() { return Sentences; }

std::string TerminalText(updater::TextId id) {
    std::string text = updater::WizardText(id);
    // A sentence of one language never occurs in another's text, so the
    // table needs no notion of which set was chosen.
    for (const ButtonSentence& sentence : Sentences) {
        if (sentence.id != id) {
            continue;
        }
        const std::string wizard = sentence.wizard;
        if (const auto at = text.find(wizard); at != std::string::npos) {
            text.replace(at, wizard.size(), sentence.terminal);
        }
    }
    return Trimmed(std::move(text));
}

VersionLabels VersionLabelsForLanguage() {
    switch (updater::GetSystemDefaultLangID()) {
    case updater::LangKorean: return {"플레이어 펌웨어 버전 :", "새 펌웨어 버전       :"};
    case updater::LangJapanese: return {"プレーヤーのファームウェア バージョン :", "新しいファームウェア バージョン       :"};
    case updater::LangChineseTaiwan: return {"播放器韌體版本 :", "新韌體版本     :"};
    case updater::LangChinesePrc: return {"播放器固件版本 :", "新固件版本     :"};
    default: return {"Player firmware version  :", "New firmware version     :"};
    }
}

} // namespace qrm284
