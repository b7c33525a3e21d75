#include "kv/texts/program.h"

namespace kv::texts {

const ProgramTexts& programTexts() {
    static constexpr ProgramTexts t{
        .versionLine = "{program} (Kelvane-Vesk) {version}",
        .noDisplay =
            "{program} はデスクトップのプログラムで、ディスプレイが必要ですが見つかりません (DISPLAY または "
            "WAYLAND_DISPLAY)。デスクトップで起動して下さい。",
        .launcherUsage =
            "使い方: Kelvane-Vesk [--help] [--version] [FILE.vesk]\n"
            "Kelvane-Vesk の線量ワークベンチを英語版 (dorvel_en) または日本語版 (dorvel_ja) で起動します。\n"
            "インストールした場合、ワークベンチはランチャーに表示される作業フォルダで動きます。既定は\n"
            "~/Kelvane-Vesk で、このセッションだけ別のフォルダを選べます。フォルダが無ければ作り、\n"
            "equipment.dat が無ければ初期値のものを置きます。ビルドから起動した場合は run "
            "フォルダで動きます。ファイルを指定すると (デスクトップが結果ファイルを Kelvane-Vesk FILE.vesk\n"
            "で開くとき)、そのファイルのフォルダを作業フォルダにします。",
        .workbenchUsage =
            "使い方: dorvel_ja [--help] [--version]\n"
            "Kelvane-Vesk の線量ワークベンチ: ファントム、X 線スペクトル、モンテカルロシミュレーション、\n"
            "結果。現在のフォルダ (equipment.dat、計算用ファイル、結果ファイル *.vesk) で動きます。\n"
            "ランチャー Kelvane-Vesk が、表示している作業フォルダで起動します。",
        .lumiraUsage =
            "使い方: lumira_ja [--help] [--version]\n"
            "Kelvane-Vesk の X 線スペクトルツール。ワークベンチのメニューから起動します。\n"
            "現在のフォルダの equipment.dat を読み、「これで決定」で P_SPCTL.dat と equipment.dat を\n"
            "そこに書きます。MUs12.dat と Mo-STP.dat は現在のフォルダにあればそれを、無ければ\n"
            "一緒にインストールされたデータを読みます。",
    };
    return t;
}

} // namespace kv::texts
