<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>Filters</name>
    <message>
        <location filename="../src/ui/qt_platform.cpp" line="60"/>
        <source>ﾋﾞｯﾄﾏｯﾌﾟ(*.BMP)</source>
        <translation>Bitmap (*.BMP)</translation>
    </message>
    <message>
        <location filename="../src/ui/qt_platform.cpp" line="60"/>
        <source>ﾋﾞｯﾄﾏｯﾌﾟ(*.0)</source>
        <translation>Bitmap data (*.0)</translation>
    </message>
    <message>
        <location filename="../src/ui/qt_platform.cpp" line="61"/>
        <source>ﾋﾞｯﾄﾏｯﾌﾟ(*.1)</source>
        <translation>Bitmap data (*.1)</translation>
    </message>
    <message>
        <location filename="../src/ui/qt_platform.cpp" line="61"/>
        <source>ﾃｸｽﾁｬ(*.d)</source>
        <translation>Texture (*.d)</translation>
    </message>
    <message>
        <location filename="../src/ui/qt_platform.cpp" line="62"/>
        <source>DATA(*.d)</source>
        <translation>DATA (*.d)</translation>
    </message>
    <message>
        <location filename="../src/ui/qt_platform.cpp" line="62"/>
        <source>Veltor(*.bas)</source>
        <translation>BASIC text (*.bas)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="121"/>
        <location filename="../src/ui/main_commands.cpp" line="217"/>
        <location filename="../src/ui/qt_platform.cpp" line="63"/>
        <source>ALL(*.*)</source>
        <translation>All files (*.*)</translation>
    </message>
    <message>
        <location filename="../src/ui/qt_platform.cpp" line="63"/>
        <source>PNG(*.png)</source>
        <translation>PNG (*.png)</translation>
    </message>
</context>
<context>
    <name>pixmill::ui::ColorDialog</name>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="23"/>
        <source>色数変更</source>
        <translation>Colours</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="28"/>
        <source>色数</source>
        <translation>Colours</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="29"/>
        <source>ディザリング</source>
        <translation>Dithering</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="30"/>
        <source>パレット</source>
        <translation>Palette</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="31"/>
        <source>精度</source>
        <translation>Precision</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="34"/>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="35"/>
        <source>誤差拡散</source>
        <translation>Error diffusion</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="36"/>
        <source>組織的</source>
        <translation>Ordered</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="37"/>
        <source>最適化</source>
        <translation>Optimised</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="38"/>
        <source>標準</source>
        <translation>Standard</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="39"/>
        <source>高品質</source>
        <translation>Quality</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="40"/>
        <source>画素ごとに最も近い色を選ぶ、時間のかかる最適化</source>
        <translation>A slower fit that gives every pixel its nearest colour</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="121"/>
        <source>精度には 1 から 16 までの整数を入力してください</source>
        <translation>Enter a whole number from 1 to 16 for the precision</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="41"/>
        <location filename="../src/ui/colour_dialog.cpp" line="101"/>
        <source>指定</source>
        <translation>File</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="42"/>
        <source>ファイル...</source>
        <translation>File...</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="43"/>
        <source>パレットファイル (.gpl .pal .act .hex .txt) か、パレットのある画像</source>
        <translation>A palette file (.gpl .pal .act .hex .txt), or a picture with a palette</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="101"/>
        <source>指定: %1</source>
        <translation>File: %1</translation>
    </message>
    <message>
        <location filename="../src/ui/colour_dialog.cpp" line="116"/>
        <source>パレットファイルを指定してください</source>
        <translation>Choose a palette file</translation>
    </message>
</context>
<context>
    <name>pixmill::ui::ConvertDialog</name>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="12"/>
        <source>コンバート</source>
        <translation>Convert</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="15"/>
        <source>コンバート形式</source>
        <translation>Form</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="16"/>
        <source>出力形式</source>
        <translation>Output</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="17"/>
        <source>ビットマップ形式</source>
        <translation>Bitmap</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="18"/>
        <source>テクスチャ形式</source>
        <translation>Texture</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="19"/>
        <source>キャラクタ形式</source>
        <translation>Character</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="20"/>
        <source>バイナリ形式</source>
        <translation>Binary</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="21"/>
        <source>テキスト形式</source>
        <translation>Text</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="22"/>
        <source>LZSS圧縮</source>
        <translation>LZSS compression</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="23"/>
        <source>パレット</source>
        <translation>Palette</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="25"/>
        <source>キャラクタ</source>
        <translation>Characters</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="26"/>
        <source>重複を除く</source>
        <translation>Distinct only</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="27"/>
        <source>同じ8×8ブロックは一度だけ書き出す</source>
        <translation>Write each 8×8 block only once</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="28"/>
        <source>反転も同じとする</source>
        <translation>Mirrored are the same</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="29"/>
        <source>左右・上下に反転したブロックも同じブロックとみなす</source>
        <translation>Count a block mirrored left-right or top-bottom as the same block</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="32"/>
        <source>制限なし</source>
        <translation>No limit</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="33"/>
        <source>キャラクタ数の上限: 超えると近いブロックをまとめる</source>
        <translation>At most this many characters: beyond it the closest blocks are merged</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="35"/>
        <source>マップなし</source>
        <translation>No map</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="36"/>
        <source>マップ...</source>
        <translation>Map...</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="38"/>
        <source>上限</source>
        <translation>Limit</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="91"/>
        <source>書き出せません: %1</source>
        <translation>Cannot be exported: %1</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="95"/>
        <source>サイズ %L1 バイト</source>
        <translation>Size %L1 bytes</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="96"/>
        <source>、DATA %L1 行</source>
        <translation>, %L1 DATA lines</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="97"/>
        <source>（圧縮前 %L1 バイト）</source>
        <translation> (%L1 bytes before compression)</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="98"/>
        <source>、キャラクタ %L1 個</source>
        <translation>, %L1 characters</translation>
    </message>
    <message>
        <location filename="../src/ui/convert_dialog.cpp" line="155"/>
        <source>サイズを計算中…</source>
        <translation>Measuring the size…</translation>
    </message>
</context>
<context>
    <name>pixmill::ui::MainDialog</name>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="43"/>
        <source>書き込む先のフォルダがありません。</source>
        <translation>The folder to write into does not exist.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="44"/>
        <source>ファイルが見つかりません。</source>
        <translation>The file does not exist.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="47"/>
        <source>このフォルダに書き込む権限がありません。</source>
        <translation>You may not write into this folder.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="48"/>
        <source>ファイルを読む権限がありません。</source>
        <translation>You may not read this file.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="50"/>
        <source>同じ名前のフォルダがあります。</source>
        <translation>A folder of that name is there.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="51"/>
        <source>フォルダは読み込めません。</source>
        <translation>A folder cannot be opened as a picture.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="53"/>
        <source>ディスクがいっぱいです。</source>
        <translation>The disk is full.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="58"/>
        <source>ファイルが壊れています。</source>
        <translation>The file is damaged.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="60"/>
        <source>書き出せる大きさを超えています。</source>
        <translation>This is more than the file format can hold.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="61"/>
        <source>画像が大きすぎます。</source>
        <translation>The picture is too large.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="63"/>
        <source>メモリが足りません。</source>
        <translation>There is not enough memory.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="71"/>
        <source>開く</source>
        <translation>Open</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="72"/>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="73"/>
        <source>コンバート</source>
        <translation>Convert</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="74"/>
        <source>拡大縮小</source>
        <translation>Scale</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="75"/>
        <source>色数変更</source>
        <translation>Colours</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="76"/>
        <source>透過色</source>
        <translation>Transparent</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="85"/>
        <location filename="../src/ui/main_dialog.cpp" line="264"/>
        <source>全体</source>
        <translation>Fit</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="88"/>
        <source>表示倍率 (Ctrl+ホイール、Ctrl++、Ctrl+-、Ctrl+0)</source>
        <translation>Zoom (Ctrl+wheel, Ctrl++, Ctrl+-, Ctrl+0)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="89"/>
        <source>グリッド</source>
        <translation>Grid</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="91"/>
        <source>8倍以上で画素の境目を表示 (Ctrl+G)</source>
        <translation>Show the pixel grid from 8x on (Ctrl+G)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="92"/>
        <source>セル</source>
        <translation>Cells</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="93"/>
        <source>セルの境目を表示: キャラクタやシートのコマの大きさ</source>
        <translation>Show the edges of cells: the size of a character or of a sheet&apos;s frames</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="98"/>
        <source>セルの大きさ (幅x高さ)</source>
        <translation>Cell size (width x height)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="99"/>
        <source>パレット</source>
        <translation>Palette</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="101"/>
        <source>1・4・8ビットの画像のパレットを横に表示</source>
        <translation>Show the palette of 1-, 4- and 8-bit pictures beside them</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="104"/>
        <source>実機表示</source>
        <translation>Console view</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="106"/>
        <source>ゲーム機に表示される色で見る: 各色を5ビットに減らし、透明な画素を市松模様で表示 (Ctrl+M)</source>
        <translation>See the picture as the console shows it: every colour cut to 5 bits a channel, transparent pixels as a checkerboard (Ctrl+M)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="125"/>
        <source>バージョン情報 (F1)</source>
        <translation>About Pixmill (F1)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="259"/>
        <location filename="../src/ui/main_dialog.cpp" line="384"/>
        <source>%1×%2×%3  色数 %4  ブロック %5  %6</source>
        <translation>%1×%2×%3  Colours %4  Blocks %5  %6</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="175"/>
        <location filename="../src/ui/main_commands.cpp" line="185"/>
        <source>%1 を読み込めませんでした。</source>
        <translation>%1 could not be opened.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="264"/>
        <location filename="../src/ui/main_dialog.cpp" line="374"/>
        <source>倍率 %1</source>
        <translation>Zoom %1</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="265"/>
        <location filename="../src/ui/main_dialog.cpp" line="403"/>
        <source>  索引 %1</source>
        <translation>  index %1</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="266"/>
        <location filename="../src/ui/main_dialog.cpp" line="406"/>
        <source>  語 %1</source>
        <translation>  word %1</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="528"/>
        <source>選択色 #%1</source>
        <translation>Picked #%1</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="136"/>
        <location filename="../src/ui/main_commands.cpp" line="205"/>
        <source>%1 に保存できませんでした。</source>
        <translation>%1 could not be saved.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="251"/>
        <source>この画像に使えるコンバート形式がありません。幅が8の倍数でない1bit・4bitの画像は書き出せません。</source>
        <translation>No form can be used for this picture: 1- and 4-bit pictures whose width is not a multiple of 8 cannot be exported.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="261"/>
        <source>%1 にコンバートできませんでした。</source>
        <translation>%1 could not be exported.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="297"/>
        <source>拡大縮小できませんでした。</source>
        <translation>The picture could not be scaled.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="326"/>
        <source>色数を変更できませんでした。</source>
        <translation>The colours could not be changed.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="346"/>
        <source>%1bit: PSNR %2 dB, ΔE %3</source>
        <translation>%1 bits: PSNR %2 dB, ΔE %3</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="565"/>
        <source>元に戻す</source>
        <translation>Undo</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="568"/>
        <source>やり直す</source>
        <translation>Redo</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="575"/>
        <source>ﾊﾞｰｼﾞｮﾝ情報(pxm) (&amp;A)...</source>
        <translation>&amp;About Pixmill...</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="55"/>
        <source>このプログラムが読める画像ではありません（BMP、PNG、書き出したデータ）。</source>
        <translation>This is not a picture this program reads (BMP, PNG, or data it exported).</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="65"/>
        <source>キャラクタ形式のデータはマップと一緒に読み込みます。</source>
        <translation>Character data are opened together with their map.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="111"/>
        <source>パレット (*.gpl *.pal *.act *.hex *.txt)</source>
        <translation>Palettes (*.gpl *.pal *.act *.hex *.txt)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="116"/>
        <source>RIFF パレット (*.pal)</source>
        <translation>RIFF palette (*.pal)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="119"/>
        <source>パレットのある画像 (*.bmp *.BMP *.png *.0 *.1 *.d)</source>
        <translation>Pictures with a palette (*.bmp *.BMP *.png *.0 *.1 *.d)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="130"/>
        <source>パレットを保存できません。</source>
        <translation>The palette cannot be saved.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="207"/>
        <source>%1 に %L2 バイトを保存しました</source>
        <translation>Saved %L2 bytes to %1</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="215"/>
        <source>マップの保存先</source>
        <translation>Save the map as</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="215"/>
        <source>キャラクタのマップを選んでください</source>
        <translation>Choose the map of the characters</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="217"/>
        <source>マップ (*.map *.bas)</source>
        <translation>Map (*.map *.bas)</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="266"/>
        <source>圧縮率 %1%%2byte </source>
        <translation>Compressed to%1%,%2 bytes</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="269"/>
        <source>%1 に %L2 バイトを書き出しました</source>
        <translation>Exported %L2 bytes to %1</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="273"/>
        <source>キャラクタを %L1 個書き出しました。</source>
        <translation>Exported %L1 characters.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="317"/>
        <location filename="../src/ui/main_commands.cpp" line="409"/>
        <source>パレット %1 を読み込めませんでした。</source>
        <translation>The palette %1 could not be read.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="365"/>
        <source>パレットの色</source>
        <translation>Palette colour</translation>
    </message>
    <message>
        <location filename="../src/ui/main_commands.cpp" line="371"/>
        <source>パレットを変更できませんでした。</source>
        <translation>The palette could not be changed.</translation>
    </message>
    <message>
        <location filename="../src/ui/main_dialog.cpp" line="571"/>
        <source>パレットを保存...</source>
        <translation>Save palette...</translation>
    </message>
</context>
<context>
    <name>pixmill::ui::PalettePanel</name>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="126"/>
        <source>色...</source>
        <translation>Colour...</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="126"/>
        <source>選んだ色を変える (ダブルクリックでも)</source>
        <translation>Change the chosen colour (or double-click it)</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="127"/>
        <source>入れ替え</source>
        <translation>Swap</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="127"/>
        <source>選んだ色とShift+クリックで印を付けた色を入れ替える</source>
        <translation>Swap the chosen colour with the one marked by Shift+click</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="128"/>
        <source>◀</source>
        <translation>◀</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="128"/>
        <source>選んだ色を一つ前へ</source>
        <translation>Move the chosen colour one place earlier</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="129"/>
        <source>▶</source>
        <translation>▶</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="129"/>
        <source>選んだ色を一つ後ろへ</source>
        <translation>Move the chosen colour one place later</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="130"/>
        <source>読み込み...</source>
        <translation>Load...</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="130"/>
        <source>パレットファイルの色を画像に当てる</source>
        <translation>Map the picture to the colours of a palette file</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="131"/>
        <source>保存...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="131"/>
        <source>パレットをファイルに保存する</source>
        <translation>Save the palette to a file</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="160"/>
        <source>パレットのない画像です</source>
        <translation>The picture has no palette</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="164"/>
        <source>色をクリックで選ぶ</source>
        <translation>Click a colour to choose it</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="168"/>
        <source>索引 %1  #%2  語 %3</source>
        <translation>Index %1  #%2  Word %3</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="169"/>
        <source>  透明の枠</source>
        <translation>  transparent slot</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="171"/>
        <source>  未使用</source>
        <translation>  unused</translation>
    </message>
    <message>
        <location filename="../src/ui/palette_panel.cpp" line="171"/>
        <source>  %L1 画素</source>
        <translation>  %L1 pixels</translation>
    </message>
</context>
<context>
    <name>pixmill::ui::ReadingDialog</name>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="77"/>
        <source>読み方</source>
        <translation>Reading</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="79"/>
        <source>%1 の大きさは、書き出したデータのいくつかの形に合います。
どの形で読みますか。</source>
        <translation>The size of %1 fits more than one layout of exported data.
How should it be read?</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="100"/>
        <source>%1 ビットの色（1 画素 2 バイト）</source>
        <translation>%1-bit colour (2 bytes a pixel)</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="101"/>
        <source>%1 ビット、パレット付き</source>
        <translation>%1 bits, with a palette</translation>
    </message>
    <message>
        <location filename="../src/ui/dialogs.cpp" line="101"/>
        <source>%1 ビット、パレットなし</source>
        <translation>%1 bits, without a palette</translation>
    </message>
</context>
<context>
    <name>pixmill::ui::ScaleDialog</name>
    <message>
        <location filename="../src/ui/scale_dialog.cpp" line="60"/>
        <source>拡大縮小</source>
        <translation>Scale</translation>
    </message>
    <message>
        <location filename="../src/ui/scale_dialog.cpp" line="68"/>
        <source>縦横比を固定</source>
        <translation>Keep aspect ratio</translation>
    </message>
    <message>
        <location filename="../src/ui/scale_dialog.cpp" line="73"/>
        <source>幅：</source>
        <translation>Width:</translation>
    </message>
    <message>
        <location filename="../src/ui/scale_dialog.cpp" line="74"/>
        <source>高さ：</source>
        <translation>Height:</translation>
    </message>
    <message>
        <location filename="../src/ui/scale_dialog.cpp" line="191"/>
        <source>1から4096までの数を入力してください</source>
        <translation>Enter a number from 1 to 4096</translation>
    </message>
</context>
</TS>
