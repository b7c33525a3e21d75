#include "kv/texts/results_extras.h"

namespace kv::texts {

const ResultsExtrasTexts& resultsExtrasTexts() {
    static constexpr ResultsExtrasTexts t{
        .kaLabel = "空気カーマ Ka =",
        .kaTip = "FCD で線量計により測定した空気カーマ (mGy)",
        .agdLabel = "AGD = Ka × sAGD =",
        .agdTip = "この撮影の平均乳腺線量 (mGy)。不確かさは sAGD のものだけです "
                  "(線量計の不確かさは別途加えてください)",
        .kaRefused = "空気カーマ Ka には 0 mGy 以上の数値を入力して下さい。",
        .kaField = "空気カーマ Ka",
        .sagdUnitTip = "sAGD の単位は mGy/mGy: FCD の自由空間中の空気カーマ 1 mGy あたりの乳腺線量",
        .uncertaintyTip = "結果ファイルに記された相対統計不確かさ (1σ)",
        .voxelSigmaTip =
            "このボクセルの全線量の相対統計不確かさ (1σ)。エンジンが結果ファイルの横に書いたファイルから",
        .voxelSpan = "ボクセル {a} {a0}\uff5e{a1}、{b} {b0}\uff5e{b1} cm",
        .voxelTip = "線量を表示している 1 mm ボクセル：ix {ix}、iy {iy}、iz {iz}。座標の欄はカーソル位置を "
                    "0.1 cm に丸めて表示します。",
        .previewTip = "行を指すと全文が表示されます",
        .pickBelowPhantom = "ファントム（厚さ {depth} cm）より下です：X-Y 面は最も深い層を表示しています。",
        .pickBeyondPhantom =
            "ファントム（胸壁から {length} cm）の外です：X-Z 面は最も奥の列を表示しています。",
        .kaAtFcd = "Ka は FCD で圧迫板なしで測定 (sAGD の定義どおり)",
        .kaAtFcdPaddle = "Ka は FCD で圧迫板をビームに入れて測定",
        .kaAtSurface = "Ka は乳房上面で圧迫板の下で測定 (プロトコルの方法)",
        .kaNoteFcd = "Ka: FCD・圧迫板なし",
        .kaNoteFcdPaddle = "Ka: 圧迫板下 ÷%1",
        .kaNoteSurface = "Ka: 上面 {mm} mm ÷%1",
        .surfaceAt60mm = "    上面の位置: 正中線上、胸壁から 60 mm (英国・欧州・IAEA のプロトコル)",
        .surfaceAt40mm = "    上面の位置: 正中線上、胸壁から 40 mm (ACR)",
        .surfaceAtEdge = "    上面の位置: 正中線上、胸壁端",
        .kaPointTip =
            "空気カーマ Ka を測定した位置です。枠内を右クリックして選びます。圧迫板の下や乳房上面で測定した"
            "場合、AGD は sAGD をその空気カーマと sAGD 本来の空気カーマとの比 (結果ファイルの値。乳房上面は"
            "正中線上で胸壁から表示の距離、選ばなければ 60 mm、自由空間) "
            "で割って求めます。この比のないファイル"
            "では FCD・圧迫板なしだけを選べます。",
        .kaAtSurfaceEdge = "Ka は乳房上面で圧迫板の下、正中線上の胸壁端で測定",
        .kaAtSurface60mm =
            "Ka は乳房上面で圧迫板の下、正中線上で胸壁から 60 mm の位置で測定 (英国・欧州・IAEA の"
            "プロトコル)",
        .kaAtSurface40mm = "Ka は乳房上面で圧迫板の下、正中線上で胸壁から 40 mm の位置で測定 (ACR)",
        .kaAtFcdScan = "Ka は FCD で圧迫板なし、管球 0°、スキャン全体の管電流時間積で測定 (FCD = FAD なら"
                       "回転軸上の点。sAGD の定義どおり)",
        .kaAtFcdPaddleScan = "Ka は FCD で圧迫板をビームに入れ、管球 0°、スキャン全体の管電流時間積で測定",
        .kaAtSurfaceScan = "Ka は乳房上面で圧迫板の下、管球 0°、スキャン全体の管電流時間積で測定 "
                           "(トモシンセシスのプロトコルの方法)",
        .agdLabelScan = "スキャン AGD = Ka × sAGD =",
        .agdScanTip =
            "トモシンセシスの結果です。スキャン全体 (すべての投影) の平均乳腺線量 (mGy)。Ka は管球 0° で"
            "スキャン全体の管電流時間積に対する空気カーマです。不確かさは sAGD のものだけです。",
        .trailerDamaged = "線量値のあとの追加情報が途中で切れているか壊れているため、表示しません。",
        .trailerDamagedBecause = "線量値のあとの追加情報が壊れているため ({reason})、表示しません。",
        .reasonAtLine = "{reason}、{line} 行目",
        .trailerWhyCutShort = "終わりの行の前で切れています",
        .trailerWhyNotNameValue = "「名前 = 値」でない行があります",
        .trailerWhyNameTwice = "同じ名前が二度あります",
        .trailerWhyTextBefore = "線量値と追加情報の間に別の文字があります",
        .trailerWhyTextAfter = "終わりの行のあとに文字があります",
        .trailerWhyHashNotLast = "内容のハッシュが最後の行でないか、16 進 64 桁ではありません",
        .trailerWhyHashMismatch =
            "内容のハッシュが一致しません。エンジンが書いたあとで線量値か追加情報が変更されています",
        .trailerWhyDisagrees = "{key} がヘッダーの値と一致しません",
        .trailerUnverified =
            "線量値のあとの追加情報は内容のハッシュを持つ前の形式です。表示しますが、検証していません。",
        .thickerThanScreens =
            "乳房の厚さが画面で表示できる 6 cm を超えています。各値は線量値のあとの追加情報から"
            "求めたもので、深部線量はありません。",
        .savePicture = "画像を PNG で保存...",
        .copyPicture = "画像をコピー",
        .exportValues = "値を CSV で書き出し...",
        .overlayPdd = "別の結果ファイルの深部線量を重ねて表示...",
        .removeOverlay = "重ねた深部線量を消す",
        .pngFilter = "PNG 画像 (*.png)",
        .csvFilter = "CSV 表 (*.csv)",
        .resultFilter = "結果ファイル (*.vesk)",
        .pictureYZ = "{file}：Y-Z 面 (X = 0 cm)、合計線量",
        .pictureXZ = "{file}：X-Z 面 (Y = {y} cm)",
        .pictureXY = "{file}：X-Y 面 (Z = {z} cm)",
        .pictureDepthDose = "{file}：深部線量百分率",
        .pictureSeparate = "{plane}、一次線線量 (左) と散乱線線量 (右)",
        .pictureTotal = "{plane}、合計線量",
        .axisX = "X (cm)",
        .axisY = "Y、胸壁から (cm)",
        .axisZ = "Z、深さ (cm)",
        .legendHeading = "100 % 線量に対する %",
        .replaceQuestion = "%1 は既にあります。\n置き換えますか？",
        .cannotWrite = "%1 に書き込めません。",
        .notAFile = "%1 は置き換えられるファイルではありません。",
        .overlayCannotRead = "%1 は結果ファイルとして読めません。",
        .reasonNoFolder = "フォルダがありません。",
        .reasonFolderProtected = "フォルダは書き込み禁止です。",
        .reasonFileProtected = "ファイルは書き込み禁止です。",
        .reasonRefused = "ディスクがいっぱいか、ファイルシステムが書き込みを拒否しました。",
        .exportUsage =
            "使い方: kv-report_ja --export 出力フォルダ 結果ファイル...\n"
            "読める結果ファイル S.vesk ごとに 出力フォルダ/S.depth-dose.csv "
            "(layer,total,primary,scatter,depth_cm) "
            "と\n"
            "出力フォルダ/S.dose.csv (ix,iy,iz,total,primary,scatter,x_cm,y_cm,z_cm) を 100% 線量に対する\n"
            "百分率で書き出します。エンジンが書いた S.vesk.sigma が横にあれば、各ボクセルの相対 1σ (%) を\n"
            "total_sigma_percent として加えます。読めない・書けないファイルがあると終了状態は 1 です。",
        .compareUsage = "使い方: kv-report_ja [--json] --compare A.vesk B.vesk\n"
                        "A と B の 100% 線量、sAGD、平均百分率、各層の深部線量と、その比 B/A、\n"
                        "両方のファイルに不確かさが記されていれば差 (B-A) を合成標準偏差の単位で出力します。",
        .exportCannotWrite = "書き込めません: ",
        .exportSameName =
            "{first} と {second} はどちらも {table} として書き出されるため、何も書き出していません。"
            "別々のフォルダに書き出して下さい。",
    };
    return t;
}

} // namespace kv::texts
