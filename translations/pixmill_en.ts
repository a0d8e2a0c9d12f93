<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>Filters</name>
    <message>
        <source>ﾋﾞｯﾄﾏｯﾌﾟ(*.BMP)</source>
        <translation>Bitmap (*.BMP)</translation>
    </message>
    <message>
        <source>ﾋﾞｯﾄﾏｯﾌﾟ(*.0)</source>
        <translation>Bitmap data (*.0)</translation>
    </message>
    <message>
        <source>ﾋﾞｯﾄﾏｯﾌﾟ(*.1)</source>
        <translation>Bitmap data (*.1)</translation>
    </message>
    <message>
        <source>ﾃｸｽﾁｬ(*.d)</source>
        <translation>Texture (*.d)</translation>
    </message>
    <message>
        <source>DATA(*.d)</source>
        <translation>DATA (*.d)</translation>
    </message>
    <message>
        <source>Veltor(*.bas)</source>
        <translation>BASIC text (*.bas)</translation>
    </message>
    <message>
        <source>ALL(*.*)</source>
        <translation>All files (*.*)</translation>
    </message>
    <message>
        <source>PNG(*.png)</source>
        <translation>PNG (*.png)</translation>
    </message>
</context>
<context>
    <name>pixmill::ui::ColorDialog</name>
    <message>
        <source>色数変更</source>
        <translation>Colours</translation>
    </message>
    <message>
        <source>色数</source>
        <translation>Colours</translation>
    </message>
    <message>
        <source>ディザリング</source>
        <translation>Dithering</translation>
    </message>
    <message>
        <source>パレット</source>
        <translation>Palette</translation>
    </message>
    <message>
        <source>精度</source>
        <translation>Precision</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <source>誤差拡散</source>
        <translation>Error diffusion</translation>
    </message>
    <message>
        <source>最適化</source>
        <translation>Optimised</translation>
    </message>
    <message>
        <source>標準</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>精度には 1 から 16 までの整数を入力してください</source>
        <translation>Enter a whole number from 1 to 16 for the precision</translation>
    </message>
    <message>
        <source>指定</source>
        <translation>File</translation>
    </message>
    <message>
        <source>ファイル...</source>
        <translation>File...</translation>
    </message>
    <message>
        <source>パレットファイル (.gpl .pal .act .hex .txt) か、パレットのある画像</source>
        <translation>A palette file (.gpl .pal .act .hex .txt), or a picture with a palette</translation>
    </message>
    <message>
        <source>指定: %1</source>
        <translation>File: %1</translation>
    </message>
    <message>
        <source>パレットファイルを指定してください</source>
        <translation>Choose a palette file</translation>
    </message>
</context>
<context>
    <name>pixmill::ui::ConvertDialog</name>
    <message>
        <source>コンバート</source>
        <translation>Convert</translation>
    </message>
    <message>
        <source>コンバート形式</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>出力形式</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>ビットマップ形式</source>
        <translation>Bitmap</translation>
    </message>
    <message>
        <source>テクスチャ形式</source>
        <translation>Texture</translation>
    </message>
    <message>
        <source>キャラクタ形式</source>
        <translation>Character</translation>
    </message>
    <message>
        <source>バイナリ形式</source>
        <translation>Binary</translation>
    </message>
    <message>
        <source>テキスト形式</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>LZSS圧縮</source>
        <translation>LZSS compression</translation>
    </message>
    <message>
        <source>パレット</source>
        <translation>Palette</translation>
    </message>
</context>
<context>
    <name>pixmill::ui::MainDialog</name>
    <message>
        <source>書き込む先のフォルダがありません。</source>
        <translation>The folder to write into does not exist.</translation>
    </message>
    <message>
        <source>ファイルが見つかりません。</source>
        <translation>The file does not exist.</translation>
    </message>
    <message>
        <source>このフォルダに書き込む権限がありません。</source>
        <translation>You may not write into this folder.</translation>
    </message>
    <message>
        <source>ファイルを読む権限がありません。</source>
        <translation>You may not read this file.</translation>
    </message>
    <message>
        <source>同じ名前のフォルダがあります。</source>
        <translation>A folder of that name is there.</translation>
    </message>
    <message>
        <source>フォルダは読み込めません。</source>
        <translation>A folder cannot be opened as a picture.</translation>
    </message>
    <message>
        <source>ディスクがいっぱいです。</source>
        <translation>The disk is full.</translation>
    </message>
    <message>
        <source>ファイルが壊れています。</source>
        <translation>The file is damaged.</translation>
    </message>
    <message>
        <source>書き出せる大きさを超えています。</source>
        <translation>This is more than the file format can hold.</translation>
    </message>
    <message>
        <source>画像が大きすぎます。</source>
        <translation>The picture is too large.</translation>
    </message>
    <message>
        <source>メモリが足りません。</source>
        <translation>There is not enough memory.</translation>
    </message>
    <message>
        <source>開く</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>コンバート</source>
        <translation>Convert</translation>
    </message>
    <message>
        <source>拡大縮小</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>色数変更</source>
        <translation>Colours</translation>
    </message>
    <message>
        <source>透過色</source>
        <translation>Transp.</translation>
    </message>
    <message>
        <source>全体</source>
        <translation>Fit</translation>
    </message>
    <message>
        <source>表示倍率 (Ctrl+ホイール、Ctrl++、Ctrl+-、Ctrl+0)</source>
        <translation>Zoom (Ctrl+wheel, Ctrl++, Ctrl+-, Ctrl+0)</translation>
    </message>
    <message>
        <source>グリッド</source>
        <translation>Grid</translation>
    </message>
    <message>
        <source>8倍以上で画素の境目を表示 (Ctrl+G)</source>
        <translation>Show the pixel grid from 8x on (Ctrl+G)</translation>
    </message>
    <message>
        <source>実機表示</source>
        <translation>Console view</translation>
    </message>
    <message>
        <source>ゲーム機に表示される色で見る: 各色を5ビットに減らし、透明な画素を市松模様で表示 (Ctrl+M)</source>
        <translation>See the picture as the console shows it: every colour cut to 5 bits a channel, transparent pixels as a checkerboard (Ctrl+M)</translation>
    </message>
    <message>
        <source>バージョン情報 (F1)</source>
        <translation>About Pixmill (F1)</translation>
    </message>
    <message>
        <source>%1 を読み込めませんでした。</source>
        <translation>%1 could not be opened.</translation>
    </message>
    <message>
        <source>倍率 %1</source>
        <translation>Zoom %1</translation>
    </message>
    <message>
        <source>%1×%2×%3  色数 %4  %5</source>
        <translation>%1×%2×%3  %4 colours  %5</translation>
    </message>
    <message>
        <source>  索引 %1</source>
        <translation>  index %1</translation>
    </message>
    <message>
        <source>  語 %1</source>
        <translation>  word %1</translation>
    </message>
    <message>
        <source>選択色 #%1</source>
        <translation>Picked #%1</translation>
    </message>
    <message>
        <source>%1 に保存できませんでした。</source>
        <translation>%1 could not be saved.</translation>
    </message>
    <message>
        <source>この画像に使えるコンバート形式がありません。幅が8の倍数でない1bit・4bitの画像は書き出せません。</source>
        <translation>No form can be used for this picture: 1- and 4-bit pictures whose width is not a multiple of 8 cannot be exported.</translation>
    </message>
    <message>
        <source>%1 にコンバートできませんでした。</source>
        <translation>%1 could not be exported.</translation>
    </message>
    <message>
        <source>拡大縮小できませんでした。</source>
        <translation>The picture could not be scaled.</translation>
    </message>
    <message>
        <source>色数を変更できませんでした。</source>
        <translation>The colours could not be changed.</translation>
    </message>
    <message>
        <source>元に戻す</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>やり直す</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>ﾊﾞｰｼﾞｮﾝ情報(pxm) (&amp;A)...</source>
        <translation>&amp;About Pixmill...</translation>
    </message>
    <message>
        <source>このプログラムが読める画像ではありません（BMP、PNG、書き出したデータ）。</source>
        <translation>This is not a picture this program reads (BMP, PNG, or data it exported).</translation>
    </message>
    <message>
        <source>パレット (*.gpl *.pal *.act *.hex *.txt)</source>
        <translation>Palettes (*.gpl *.pal *.act *.hex *.txt)</translation>
    </message>
    <message>
        <source>パレットのある画像 (*.bmp *.BMP *.png *.0 *.1 *.d)</source>
        <translation>Pictures with a palette (*.bmp *.BMP *.png *.0 *.1 *.d)</translation>
    </message>
    <message>
        <source>パレットを保存できません。</source>
        <translation>The palette cannot be saved.</translation>
    </message>
    <message>
        <source>パレット %1 を読み込めませんでした。</source>
        <translation>The palette %1 could not be read.</translation>
    </message>
    <message>
        <source>パレットを保存...</source>
        <translation>Save palette...</translation>
    </message>
</context>
<context>
    <name>pixmill::ui::ScaleDialog</name>
    <message>
        <source>拡大縮小</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>縦横比を固定</source>
        <translation>Keep aspect ratio</translation>
    </message>
    <message>
        <source>幅：</source>
        <translation>Width:</translation>
    </message>
    <message>
        <source>高さ：</source>
        <translation>Height:</translation>
    </message>
    <message>
        <source>1から4096までの数を入力してください</source>
        <translation>Enter a number from 1 to 4096</translation>
    </message>
</context>
</TS>
