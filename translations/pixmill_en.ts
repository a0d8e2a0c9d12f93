<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>Filters</name>
    <message>
        <location filename="../src/ui/qt_platform.cpp" line="37"/>
        <source>ﾋﾞｯﾄﾏｯﾌﾟ(*.BMP)</source>
        <translation>Bitmap (*.BMP)</translation>
    </message>
    <message>
        <location filename="../src/ui/qt_platform.cpp" line="37"/>
        <source>ﾋﾞｯﾄﾏｯﾌﾟ(*.0)</source>
        <translation>Bitmap data (*.0)</translation>
    </message>
    <message>
        <location filename="../src/ui/qt_platform.cpp" line="38"/>
        <source>ﾋﾞｯﾄﾏｯﾌﾟ(*.1)</source>
        <translation>Bitmap data (*.1)</translation>
    </message>
    <message>
        <location filename="../src/ui/qt_platform.cpp" line="38"/>
        <source>ﾃｸｽﾁｬ(*.d)</source>
        <translation>Texture (*.d)</translation>
    </message>
    <message>
        <location filename="../src/ui/qt_platform.cpp" line="39"/>
        <source>DATA(*.d)</source>
        <translation>DATA (*.d)</translation>
    </message>
    <message>
        <location filename="../src/ui/qt_platform.cpp" line="39"/>
        <source>Veltor(*.bas)</source>
        <translation>BASIC text (*.bas)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="311"/>
        <location filename="../src/ui/qt_platform.cpp" line="40"/>
        <source>ALL(*.*)</source>
        <translation>All files (*.*)</translation>
    </message>
    <message>
        <location filename="../src/ui/qt_platform.cpp" line="40"/>
        <source>PNG(*.png)</source>
        <translation>PNG (*.png)</translation>
    </message>
</context>
<context>
    <name>pixmill::ui::ColorDialog</name>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="196"/>
        <source>色数変更</source>
        <translation>Colours</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="201"/>
        <source>色数</source>
        <translation>Colours</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="202"/>
        <source>ディザリング</source>
        <translation>Dithering</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="203"/>
        <source>パレット</source>
        <translation>Palette</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="204"/>
        <source>精度</source>
        <translation>Precision</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="207"/>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="208"/>
        <source>誤差拡散</source>
        <translation>Error diffusion</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="209"/>
        <source>組織的</source>
        <translation>Ordered</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="210"/>
        <source>最適化</source>
        <translation>Optimised</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="211"/>
        <source>標準</source>
        <translation>Standard</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="212"/>
        <source>高品質</source>
        <translation>Quality</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="213"/>
        <source>画素ごとに最も近い色を選ぶ、時間のかかる最適化</source>
        <translation>A slower fit that gives every pixel its nearest colour</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="294"/>
        <source>精度には 1 から 16 までの整数を入力してください</source>
        <translation>Enter a whole number from 1 to 16 for the precision</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="214"/>
        <location filename="../src/ui/dialogs.cpp" line="274"/>
        <source>指定</source>
        <translation>File</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="215"/>
        <source>ファイル...</source>
        <translation>File...</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="216"/>
        <source>パレットファイル (.gpl .pal .act .hex .txt) か、パレットのある画像</source>
        <translation>A palette file (.gpl .pal .act .hex .txt), or a picture with a palette</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="274"/>
        <source>指定: %1</source>
        <translation>File: %1</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="289"/>
        <source>パレットファイルを指定してください</source>
        <translation>Choose a palette file</translation>
    </message>
</context>
<context>
    <name>pixmill::ui::ConvertDialog</name>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="91"/>
        <source>コンバート</source>
        <translation>Convert</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="94"/>
        <source>コンバート形式</source>
        <translation>Form</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="95"/>
        <source>出力形式</source>
        <translation>Output</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="96"/>
        <source>ビットマップ形式</source>
        <translation>Bitmap</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="97"/>
        <source>テクスチャ形式</source>
        <translation>Texture</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="98"/>
        <source>キャラクタ形式</source>
        <translation>Character</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="99"/>
        <source>バイナリ形式</source>
        <translation>Binary</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="100"/>
        <source>テキスト形式</source>
        <translation>Text</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="101"/>
        <source>LZSS圧縮</source>
        <translation>LZSS compression</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="102"/>
        <source>パレット</source>
        <translation>Palette</translation>
    </message>
</context>
<context>
    <name>pixmill::ui::MainDialog</name>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="42"/>
        <source>書き込む先のフォルダがありません。</source>
        <translation>The folder to write into does not exist.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="43"/>
        <source>ファイルが見つかりません。</source>
        <translation>The file does not exist.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="45"/>
        <source>このフォルダに書き込む権限がありません。</source>
        <translation>You may not write into this folder.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="46"/>
        <source>ファイルを読む権限がありません。</source>
        <translation>You may not read this file.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="48"/>
        <source>同じ名前のフォルダがあります。</source>
        <translation>A folder of that name is there.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="49"/>
        <source>フォルダは読み込めません。</source>
        <translation>A folder cannot be opened as a picture.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="51"/>
        <source>ディスクがいっぱいです。</source>
        <translation>The disk is full.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="56"/>
        <source>ファイルが壊れています。</source>
        <translation>The file is damaged.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="58"/>
        <source>書き出せる大きさを超えています。</source>
        <translation>This is more than the file format can hold.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="59"/>
        <source>画像が大きすぎます。</source>
        <translation>The picture is too large.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="61"/>
        <source>メモリが足りません。</source>
        <translation>There is not enough memory.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="118"/>
        <source>開く</source>
        <translation>Open</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="119"/>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="120"/>
        <source>コンバート</source>
        <translation>Convert</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="121"/>
        <source>拡大縮小</source>
        <translation>Scale</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="122"/>
        <source>色数変更</source>
        <translation>Colours</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="123"/>
        <source>透過色</source>
        <translation>Transp.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="129"/>
        <source>全体</source>
        <translation>Fit</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="132"/>
        <source>表示倍率 (Ctrl+ホイール、Ctrl++、Ctrl+-、Ctrl+0)</source>
        <translation>Zoom (Ctrl+wheel, Ctrl++, Ctrl+-, Ctrl+0)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="133"/>
        <source>グリッド</source>
        <translation>Grid</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="135"/>
        <source>8倍以上で画素の境目を表示 (Ctrl+G)</source>
        <translation>Show the pixel grid from 8x on (Ctrl+G)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="136"/>
        <source>実機表示</source>
        <translation>Console view</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="137"/>
        <source>ゲーム機に表示される色で見る: 各色を5ビットに減らし、透明な画素を市松模様で表示 (Ctrl+M)</source>
        <translation>See the picture as the console shows it: every colour cut to 5 bits a channel, transparent pixels as a checkerboard (Ctrl+M)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="156"/>
        <source>バージョン情報 (F1)</source>
        <translation>About Pixmill (F1)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="344"/>
        <source>%1 を読み込めませんでした。</source>
        <translation>%1 could not be opened.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="392"/>
        <source>倍率 %1</source>
        <translation>Zoom %1</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="399"/>
        <source>%1×%2×%3  色数 %4  %5</source>
        <translation>%1×%2×%3  %4 colours  %5</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="416"/>
        <source>  索引 %1</source>
        <translation>  index %1</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="420"/>
        <source>  語 %1</source>
        <translation>  word %1</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="524"/>
        <source>選択色 #%1</source>
        <translation>Picked #%1</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="324"/>
        <location filename="../src/ui/main_dialog.cpp" line="545"/>
        <source>%1 に保存できませんでした。</source>
        <translation>%1 could not be saved.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="567"/>
        <source>この画像に使えるコンバート形式がありません。幅が8の倍数でない1bit・4bitの画像は書き出せません。</source>
        <translation>No form can be used for this picture: 1- and 4-bit pictures whose width is not a multiple of 8 cannot be exported.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="576"/>
        <source>%1 にコンバートできませんでした。</source>
        <translation>%1 could not be exported.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="602"/>
        <source>拡大縮小できませんでした。</source>
        <translation>The picture could not be scaled.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="639"/>
        <source>色数を変更できませんでした。</source>
        <translation>The colours could not be changed.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="646"/>
        <source>%1bit: PSNR %2 dB, ΔE %3</source>
        <translation>%1 bits: PSNR %2 dB, ΔE %3</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="671"/>
        <source>元に戻す</source>
        <translation>Undo</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="674"/>
        <source>やり直す</source>
        <translation>Redo</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="681"/>
        <source>ﾊﾞｰｼﾞｮﾝ情報(pxm) (&amp;A)...</source>
        <translation>&amp;About Pixmill...</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="53"/>
        <source>このプログラムが読める画像ではありません（BMP、PNG、書き出したデータ）。</source>
        <translation>This is not a picture this program reads (BMP, PNG, or data it exported).</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="302"/>
        <source>パレット (*.gpl *.pal *.act *.hex *.txt)</source>
        <translation>Palettes (*.gpl *.pal *.act *.hex *.txt)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="309"/>
        <source>パレットのある画像 (*.bmp *.BMP *.png *.0 *.1 *.d)</source>
        <translation>Pictures with a palette (*.bmp *.BMP *.png *.0 *.1 *.d)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="319"/>
        <source>パレットを保存できません。</source>
        <translation>The palette cannot be saved.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="622"/>
        <source>パレット %1 を読み込めませんでした。</source>
        <translation>The palette %1 could not be read.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="677"/>
        <source>パレットを保存...</source>
        <translation>Save palette...</translation>
    </message>
</context>
<context>
    <name>pixmill::ui::ScaleDialog</name>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="347"/>
        <source>拡大縮小</source>
        <translation>Scale</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="355"/>
        <source>縦横比を固定</source>
        <translation>Keep aspect ratio</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="360"/>
        <source>幅：</source>
        <translation>Width:</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="361"/>
        <source>高さ：</source>
        <translation>Height:</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="479"/>
        <source>1から4096までの数を入力してください</source>
        <translation>Enter a number from 1 to 4096</translation>
    </message>
</context>
</TS>
