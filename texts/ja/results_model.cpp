#include "kv/texts/results_model.h"

namespace kv::texts {

const ResultsModelTexts& resultsModelTexts() {
    static constexpr ResultsModelTexts t{
        .selectFile = "  * ファイルを選択して下さい！",
        .cannotRead = " このファイルは読めません ! ",
        .lineTail = "   ",
        .historyLabel = "   ヒストリー数 = ",
        .historyUnit = " 個",
        .phantomSize = "   ファントムサイズ",
        .sizeIndent = "     ",
        .sizeTimes = " x ",
        .sizeUnit = " cm",
        .fractionLabel = "   乳腺割合 = ",
        .fractionUnit = " ％",
        .reasonCannotOpen = "ファイルを開けません",
        .reasonEndsEarly = "すべての線量値を読む前にファイルが終わっています",
        .reasonNotANumber = "数値でない値があります",
        .reasonCountOutOfRange = "格子数が線量格子の範囲内の整数ではありません (X 1..76, Y 1..151, Z 1..60)",
        .reasonEmptyReferenceRegion = "基準領域に線量がなく、100% 線量が求められません",
        .reasonAirKerma = "空気カーマが 0 以下です",
        .reasonNotAFile = "通常のファイルではありません (フォルダ、パイプまたはデバイス)",
        .reasonTooLarge = "結果ファイルとしては大きすぎます",
        .reasonUnreadable = "ファイルを最後まで読めませんでした (読み取りエラーまたはメモリ不足)",
        .reasonThickerThanScreens =
            "乳房の厚さが画面で表示できる 6 cm を超えています (kv-report と kv-sweep で読めます)",
        .fileReason = "{file}：{reason}。",
        .reportReplacedBytes = "CP932 として正しくないバイトを U+FFFD に置き換えました",
        .reportUsage =
            "使い方: kv-report_ja [--json] 結果ファイル...\n"
            "       kv-report_ja --table 表の名前 結果ファイル...\n"
            "       kv-report_ja --export 出力フォルダ 結果ファイル...\n"
            "       kv-report_ja [--json] --compare A.vesk B.vesk\n"
            "各結果ファイルのヘッダ、書いたエンジンのバージョン、100% 線量、FCD、sAGD、\n"
            "平均百分率と深部線量表を CSV で (--json では JSON で) 出力します。sAGD と 100% 線量は\n"
            "FCD の自由空気中の空気カーマ 1 mGy 当たりの乳腺線量 (mGy) です (per k_fcd)。乳房全体の\n"
            "平均乳腺線量 (mgd) は空気カーマの点ごとに trailer と air_kerma の行にあります。\n"
            "  --table 表の名前       指定した全ファイルの CSV の表を 1 つ (先頭は file 列):\n"
            "                         header (file,line,text)、fields (file,quantity,value,unit,\n"
            "                         per,text)、depth_dose (file,layer,total_percent,\n"
            "                         primary_percent,scatter_percent)、air_kerma (file,point,where,\n"
            "                         k_per_k_fcd,sagd,mgd,unit,per。点は fcd、fcd_paddle、胸壁端の\n"
            "                         surface、正中線上で胸壁から surface_60mm と surface_40mm)、\n"
            "                         scan (file,kind,projections,\n"
            "                         rotation_axis_cm,mgd_per_k_surface_0deg,\n"
            "                         mgd_per_k_surface_0deg_sigma_percent,t_scan,t_scan_sigma_percent,\n"
            "                         t_scan_from_projections)、projections (file,index,angle_deg,\n"
            "                         loading,mgd_per_k_surface_i,mgd_per_k_surface_i_sigma_percent,\n"
            "                         t_i,t_i_sigma_percent) または trailer (file,key,\n"
            "                         value,unit,per)\n"
            "トモシンセシスの結果には撮影と、投影ごとの角度、管負荷の割合、線量、t も出力します。\n"
            "t_scan_from_projections は割合 x t_i の総和です。\n"
            "  --export 出力フォルダ  読める結果ファイル S.vesk ごとに S.depth-dose.csv と\n"
            "                         S.dose.csv を書き出します (フォルダがなければ作ります)\n"
            "  --compare              2 つの結果を量ごとに比べます: A、B、B/A と\n"
            "                         合成標準偏差を単位とする差 (B-A)\n"
            "  --json                 CSV の代わりに JSON (--export、--table とは併用不可)。名前は\n"
            "                         snake_case、数値は数値、値ごとに unit と per\n"
            "オプションはどこに置いてもよく、--opt 値 または --opt=値 と書けます。-- の後は\n"
            "すべてファイル名です。読めない・書けないファイルがあると終了状態は 1、\n"
            "使い方の誤りでは 2 です。",
    };
    return t;
}

} // namespace kv::texts
