<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja_JP">
<context>
    <name>Analysis</name>
    <message>
        <source>波長 %1 nm では瞳のサンプル数が %2 で計算グリッド %3 の半分を超えるため、PSF がナイキスト条件を満たさずに標本化されています（折り返しを含みます）。焦点距離を長くするか口径を小さくしてください。</source>
        <translation>At %1 nm the pupil spans %2 samples, more than half the calculation grid of %3, so the PSF is sampled below the Nyquist limit and contains aliasing. Lengthen the focal length or reduce the aperture.</translation>
    </message>
    <message>
        <source>計算グリッドの外周 %1 サンプルに全エネルギーの %2 % があり、0.1 % を超えています。PSF がグリッドの反対側に回り込んでいます。</source>
        <translation>The outermost %1 samples of the calculation grid hold %2 % of the energy, more than 0.1 %. The PSF wraps around to the opposite side of the grid.</translation>
    </message>
    <message>
        <source>隣り合う瞳のサンプルの間で波面が最大 %1 波長変わり、半波長を超えています。位相が正しく標本化されていないため、結果は信頼できません。収差を小さくするか、焦点距離を短くして瞳のサンプル数を増やしてください。</source>
        <translation>The wavefront changes by up to %1 waves between neighbouring pupil samples, more than half a wave. The phase is not sampled properly and the result cannot be trusted. Reduce the aberrations, or shorten the focal length to give the pupil more samples.</translation>
    </message>
</context>
<context>
    <name>AnalysisTable</name>
    <message>
        <source>赤</source>
        <translation>red</translation>
    </message>
    <message>
        <source>緑</source>
        <translation>green</translation>
    </message>
    <message>
        <source>青</source>
        <translation>blue</translation>
    </message>
    <message>
        <source>白色光</source>
        <translation>white light</translation>
    </message>
    <message>
        <source>平均波長 (nm)</source>
        <translation>Mean wavelength (nm)</translation>
    </message>
    <message>
        <source>画素ピッチ (µm)</source>
        <translation>Pixel pitch (µm)</translation>
    </message>
    <message>
        <source>画素ピッチ (秒角)</source>
        <translation>Pixel pitch (arcsec)</translation>
    </message>
    <message>
        <source>画素ピッチの幅 (%)</source>
        <translation>Pixel pitch spread (%)</translation>
    </message>
    <message>
        <source>ストレール比</source>
        <translation>Strehl ratio</translation>
    </message>
    <message>
        <source>RMS 波面収差 (波長)</source>
        <translation>RMS wavefront error (waves)</translation>
    </message>
    <message>
        <source>マレシャル推定値</source>
        <translation>Maréchal estimate</translation>
    </message>
    <message>
        <source>ピーク位置 x (µm)</source>
        <translation>Peak x (µm)</translation>
    </message>
    <message>
        <source>ピーク位置 y (µm)</source>
        <translation>Peak y (µm)</translation>
    </message>
    <message>
        <source>重心位置 x (µm)</source>
        <translation>Centroid x (µm)</translation>
    </message>
    <message>
        <source>重心位置 y (µm)</source>
        <translation>Centroid y (µm)</translation>
    </message>
    <message>
        <source>半値全幅 x (µm)</source>
        <translation>FWHM x (µm)</translation>
    </message>
    <message>
        <source>半値全幅 y (µm)</source>
        <translation>FWHM y (µm)</translation>
    </message>
    <message>
        <source>半値全幅 平均 (µm)</source>
        <translation>FWHM mean (µm)</translation>
    </message>
    <message>
        <source>半値全幅 x (秒角)</source>
        <translation>FWHM x (arcsec)</translation>
    </message>
    <message>
        <source>半値全幅 y (秒角)</source>
        <translation>FWHM y (arcsec)</translation>
    </message>
    <message>
        <source>半値全幅 平均 (秒角)</source>
        <translation>FWHM mean (arcsec)</translation>
    </message>
    <message>
        <source>r50 (µm)</source>
        <translation>r50 (µm)</translation>
    </message>
    <message>
        <source>r80 (µm)</source>
        <translation>r80 (µm)</translation>
    </message>
    <message>
        <source>遮断周波数 (本/mm)</source>
        <translation>Cut-off frequency (cycles/mm)</translation>
    </message>
    <message>
        <source>焦点深度 (µm)</source>
        <translation>Depth of focus (µm)</translation>
    </message>
    <message>
        <source>二重星の谷 (比)</source>
        <translation>Double star dip (ratio)</translation>
    </message>
    <message>
        <source>二重星 (スパロー)</source>
        <translation>Double star (Sparrow)</translation>
    </message>
    <message>
        <source>分離</source>
        <translation>resolved</translation>
    </message>
    <message>
        <source>未分離</source>
        <translation>not resolved</translation>
    </message>
</context>
<context>
    <name>BatchOutput</name>
    <message>
        <source>出力ファイル %1 はフォルダです。ファイルの名前を指定してください。</source>
        <translation>The output %1 is a folder. Give the name of a file.</translation>
    </message>
    <message>
        <source>出力ファイル %1 のフォルダ %2 がありません。</source>
        <translation>The folder %2 of the output %1 does not exist.</translation>
    </message>
    <message>
        <source>出力ファイル %1 のフォルダ %2 に書き込めません（%3）。</source>
        <translation>Cannot write in the folder %2 of the output %1 (%3).</translation>
    </message>
    <message>
        <source>出力ファイル %1 の %2 はフォルダではありません。</source>
        <translation>%2 in the output %1 is not a folder.</translation>
    </message>
    <message>
        <source>出力ファイル %1 に書き込めません（%2）。</source>
        <translation>Cannot write to the output %1 (%2).</translation>
    </message>
    <message>
        <source>出力ファイル %1 のリンクをたどれません。</source>
        <translation>The symbolic link of the output %1 cannot be followed to its end.</translation>
    </message>
    <message>
        <source>標準出力に書き込めませんでした。</source>
        <translation>Could not write to standard output.</translation>
    </message>
    <message>
        <source>ファイル %1 を元に戻せませんでした。元の内容は %2 にあります。</source>
        <translation>The file %1 could not be restored. Its old content is in %2.</translation>
    </message>
    <message>
        <source>ファイル %1 の元の内容を残せないため、書き込みませんでした（%2: %3）。</source>
        <translation>Nothing was written, as the old content of the file %1 could not be kept (%2: %3).</translation>
    </message>
    <message>
        <source>%1 出力ファイルはどれも元のままです。</source>
        <translation>%1 Every output file is as it was.</translation>
    </message>
</context>
<context>
    <name>Bmp</name>
    <message>
        <source>BMP ファイルではありません</source>
        <translation>not a BMP file</translation>
    </message>
    <message>
        <source>BMP のヘッダが壊れています</source>
        <translation>the BMP header is damaged</translation>
    </message>
    <message>
        <source>画像の大きさが正しくありません</source>
        <translation>the picture size is not valid</translation>
    </message>
    <message>
        <source>画像が大きすぎます（%1 x %2、最大 %3 x %3）</source>
        <translation>the picture is too large (%1 x %2, at most %3 x %3)</translation>
    </message>
    <message>
        <source>%1 ビットの BMP には対応していません</source>
        <translation>%1-bit BMP files are not supported</translation>
    </message>
    <message>
        <source>圧縮された BMP には対応していません</source>
        <translation>compressed BMP files are not supported</translation>
    </message>
    <message>
        <source>BMP のデータが途中で終わっています</source>
        <translation>the BMP data ends too early</translation>
    </message>
</context>
<context>
    <name>Camera</name>
    <message>
        <source>カメラの画素 %1 µm は、波長 %2 nm の計算の標本間隔の半分 %3 µm より細かく、カメラ像にできません。画素を大きくしてください。</source>
        <translation>The camera pixel of %1 µm is finer than half the calculation&apos;s sample spacing at %2 nm, %3 µm, and cannot make a camera image. Use a larger pixel.</translation>
    </message>
</context>
<context>
    <name>FileWrite</name>
    <message>
        <source>ファイル %1 を書き込めませんでした（%2: %3）。</source>
        <translation>Could not write the file %1 (%2: %3).</translation>
    </message>
</context>
<context>
    <name>FitsFile</name>
    <message>
        <source>FITS ファイルを作れませんでした（CFITSIO %1: %2）。</source>
        <translation>The FITS file could not be made (CFITSIO %1: %2).</translation>
    </message>
</context>
<context>
    <name>Jpeg</name>
    <message>
        <source>JPEG: 空の画像は保存できません。</source>
        <translation>JPEG: an empty picture cannot be saved.</translation>
    </message>
</context>
<context>
    <name>NumberField</name>
    <message>
        <source>%1「%2」は使えません。%3 から %4 までの数値を入れてください。前の値 %5 のままです。</source>
        <translation>%1 &quot;%2&quot; cannot be used. Enter a number from %3 to %4. The value stays %5.</translation>
    </message>
</context>
<context>
    <name>PictureExport</name>
    <message>
        <source>ファイルがすでに存在しています。&#x3000;上書きしますか？</source>
        <translation>The file already exists. Overwrite it?</translation>
    </message>
    <message>
        <source>保存する計算結果がまだありません。「計算開始」で計算してから保存してください。</source>
        <translation>There is no calculation result to save yet. Calculate with “Start” first, then save.</translation>
    </message>
</context>
<context>
    <name>PsfCalculation</name>
    <message>
        <source>波長依存の表の %1 行目: %2</source>
        <translation>Wavelength table, row %1: %2</translation>
    </message>
    <message>
        <source>白色光</source>
        <translation>white light</translation>
    </message>
    <message>
        <source>赤</source>
        <translation>red</translation>
    </message>
    <message>
        <source>緑</source>
        <translation>green</translation>
    </message>
    <message>
        <source>青</source>
        <translation>blue</translation>
    </message>
    <message>
        <source>瞳の透過率に数値でない値が含まれています。ユーザフィルタやユーザマスクを確認してください。</source>
        <translation>The pupil transmission contains values that are not numbers. Check the user filter or the user mask.</translation>
    </message>
    <message>
        <source>計算用のメモリが確保できませんでした。他のプログラムを終了してからもう一度計算してください。</source>
        <translation>Not enough memory for the calculation. Close other programs and calculate again.</translation>
    </message>
    <message>
        <source>明るさのレベル %1 は範囲外です。1 から 100 の値にしてください。</source>
        <translation>The brightness level %1 is out of range. Use a value from 1 to 100.</translation>
    </message>
    <message>
        <source>主鏡口径が %1 mm では計算できません。口径を 1 mm 以上にしてください。</source>
        <translation>Cannot calculate with an aperture of %1 mm. Make the aperture 1 mm or more.</translation>
    </message>
    <message>
        <source>焦点距離が %1 mm では計算できません。焦点距離を 1 mm 以上にしてください。</source>
        <translation>Cannot calculate with a focal length of %1 mm. Make the focal length 1 mm or more.</translation>
    </message>
    <message>
        <source>%1の波長ステップが %2 nm では計算が終わりません。ステップを 1 nm 以上にしてください。</source>
        <translation>With a %1 wavelength step of %2 nm the calculation never ends. Make the step 1 nm or more.</translation>
    </message>
    <message>
        <source>%1の波長 %2 nm では計算できません。波長を 1 nm 以上にしてください。</source>
        <translation>Cannot calculate the %1 wavelength %2 nm. Make the wavelength 1 nm or more.</translation>
    </message>
    <message>
        <source>波長 %1 nm では瞳のサンプル数が %2 になり計算できません。口径を大きくするか焦点距離を短くするか、長い波長を外してください。</source>
        <translation>At %1 nm the pupil would have %2 samples, which cannot be calculated. Enlarge the aperture, shorten the focal length or leave out the long wavelengths.</translation>
    </message>
    <message>
        <source>波長 %1 nm では瞳のサンプル数が %2 になり、計算グリッド %3 に収まりません。焦点距離を長くするか口径を小さくするか、短い波長を外してください。</source>
        <translation>At %1 nm the pupil would have %2 samples, more than the calculation grid of %3. Lengthen the focal length, reduce the aperture or leave out the short wavelengths.</translation>
    </message>
    <message>
        <source>波長依存の表が %1 行しかありません（白色光の波長は %2 個）。「波長依存」で表を作り直してください。</source>
        <translation>The wavelength table has only %1 rows (the white light has %2 wavelengths). Make the table again with &quot;λ table&quot;.</translation>
    </message>
    <message>
        <source>強度が大きすぎて計算できません。ユーザフィルタの値を確認してください。</source>
        <translation>The intensity is too large to calculate. Check the values of the user filter.</translation>
    </message>
    <message>
        <source>球面収差</source>
        <translation>spherical aberration</translation>
    </message>
    <message>
        <source>フォーカス</source>
        <translation>focus</translation>
    </message>
    <message>
        <source>波長依存の表の %1 行目の%2 %3 は範囲外です。-%4 から %4 波の値にしてください。</source>
        <translation>Wavelength table, row %1: the %2 %3 is out of range. Enter a value from -%4 to %4 waves.</translation>
    </message>
</context>
<context>
    <name>RunThreads</name>
    <message>
        <source>スレッド数を %1 から %2 に減らしました（この計算機が同時に実行できるスレッドは %2 個です）。</source>
        <translation>Threads lowered from %1 to %2 (this computer runs %2 threads at once).</translation>
    </message>
    <message>
        <source>スレッド数を %1 から %2 に減らしました（この計算の波長は %2 個です）。</source>
        <translation>Threads lowered from %1 to %2 (this calculation has %2 wavelengths).</translation>
    </message>
    <message>
        <source>スレッド数を %1 から %2 に減らしました（空きメモリ %3 MiB の半分に収まるのは %2 スレッドです）。</source>
        <translation>Threads lowered from %1 to %2 (half of the %3 MiB of available memory holds %2 threads).</translation>
    </message>
</context>
<context>
    <name>SafeOpen</name>
    <message>
        <source>通常のファイルではなく%1です</source>
        <translation>it is a %1, not a regular file</translation>
    </message>
    <message>
        <source>存在しないファイル</source>
        <translation>missing file</translation>
    </message>
    <message>
        <source>ファイル</source>
        <translation>file</translation>
    </message>
    <message>
        <source>フォルダ</source>
        <translation>folder</translation>
    </message>
    <message>
        <source>デバイス</source>
        <translation>device</translation>
    </message>
    <message>
        <source>名前付きパイプ</source>
        <translation>named pipe</translation>
    </message>
    <message>
        <source>ソケット</source>
        <translation>socket</translation>
    </message>
    <message>
        <source>特殊なファイル</source>
        <translation>special file</translation>
    </message>
    <message>
        <source>ファイルがありません</source>
        <translation>the file does not exist</translation>
    </message>
    <message>
        <source>ファイルを開けません: %1</source>
        <translation>the file cannot be opened: %1</translation>
    </message>
    <message>
        <source>ファイルが大きすぎます</source>
        <translation>the file is too large</translation>
    </message>
    <message>
        <source>ファイルを読めません: %1</source>
        <translation>the file cannot be read: %1</translation>
    </message>
</context>
<context>
    <name>SaveDialog</name>
    <message>
        <source>%1 が既に存在しています。&#x3000;上書きしますか？</source>
        <translation>%1 already exists. Overwrite it?</translation>
    </message>
</context>
<context>
    <name>Sky</name>
    <message>
        <source>シーイング %1″ では計算できません。0 から 60 の値にしてください（0 は大気なし）。</source>
        <translation>A seeing of %1″ cannot be used. Give a value from 0 to 60 (0: no atmosphere).</translation>
    </message>
    <message>
        <source>伴星の指定（離角 %1″、位置角 %2°、等級差 %3）では計算できません。離角は 0 から 3600″、等級差は 0 から 15 にしてください。</source>
        <translation>The companion (separation %1″, position angle %2°, magnitude difference %3) cannot be used. Give a separation from 0 to 3600″ and a magnitude difference from 0 to 15.</translation>
    </message>
    <message>
        <source>伴星の離角 %1″ は、波長 %2 nm の計算範囲 %3″ を超えます。離角を小さくするか焦点距離を短くしてください。</source>
        <translation>The companion&apos;s separation of %1″ is beyond the reach of the calculation at %2 nm, %3″. Make the separation smaller or the focal length shorter.</translation>
    </message>
    <message>
        <source>メモリが足りず、大気と伴星を計算できませんでした。</source>
        <translation>Not enough memory to lay the seeing and the companion over the result.</translation>
    </message>
</context>
<context>
    <name>StarTest</name>
    <message>
        <source>デフォーカス量は 0 より大きい値にしてください。</source>
        <translation>Give the defocus a value above 0.</translation>
    </message>
</context>
<context>
    <name>UserFilterFile</name>
    <message>
        <source>見出しの 7 語の途中でファイルが終わっています</source>
        <translation>the file ends within the 7 header words</translation>
    </message>
    <message>
        <source>データ数 N がありません</source>
        <translation>the entry count N is missing</translation>
    </message>
    <message>
        <source>8 番目の語「%1」はデータ数 N（整数）ではありません</source>
        <translation>the 8th word &quot;%1&quot; is not the entry count N (an integer)</translation>
    </message>
    <message>
        <source>データ数 N は 1 以上でなければなりません（%1）</source>
        <translation>the entry count N must be 1 or more (%1)</translation>
    </message>
    <message>
        <source>列見出しの 2 語の途中でファイルが終わっています</source>
        <translation>the file ends within the 2 column header words</translation>
    </message>
    <message>
        <source>%1 組目の%2 番目の値</source>
        <translation>value %2 of pair %1</translation>
    </message>
    <message>
        <source>データが %1 組に足りません（%2がありません）</source>
        <translation>fewer than %1 pairs of data (%2 is missing)</translation>
    </message>
    <message>
        <source>%1「%2」は数値ではありません</source>
        <translation>%1 &quot;%2&quot; is not a number</translation>
    </message>
    <message>
        <source>ユーザフィルタ(*.uft)|*.uft|すべて(*.*)|*.*</source>
        <translation>User filter(*.uft)|*.uft|All files(*.*)|*.*</translation>
    </message>
    <message>
        <source>ユーザフィルタ %1 のデータ数 %2 は上限の %3 を超えています。先頭の %3 組だけを使います。</source>
        <translation>The user filter %1 has %2 entries, more than the limit of %3. Only the first %3 are used.</translation>
    </message>
</context>
<context>
    <name>WorkingFolder</name>
    <message>
        <source>ユーザ用の作業フォルダが決まりません（XDG_DATA_HOME も HOME もありません）。現在のフォルダで続けます。</source>
        <translation>No per-user working folder can be found (neither XDG_DATA_HOME nor HOME is set). Continuing in the current folder.</translation>
    </message>
    <message>
        <source>作業フォルダ %1 を使えません（%2）。現在のフォルダで続けます。</source>
        <translation>The working folder %1 cannot be used (%2). Continuing in the current folder.</translation>
    </message>
</context>
<context>
    <name>Zernike</name>
    <message>
        <source>ピストン</source>
        <translation>Piston</translation>
    </message>
    <message>
        <source>チルト X</source>
        <translation>Tilt X</translation>
    </message>
    <message>
        <source>チルト Y</source>
        <translation>Tilt Y</translation>
    </message>
    <message>
        <source>デフォーカス</source>
        <translation>Defocus</translation>
    </message>
    <message>
        <source>非点収差 0°</source>
        <translation>Astigmatism 0°</translation>
    </message>
    <message>
        <source>非点収差 45°</source>
        <translation>Astigmatism 45°</translation>
    </message>
    <message>
        <source>コマ X</source>
        <translation>Coma X</translation>
    </message>
    <message>
        <source>コマ Y</source>
        <translation>Coma Y</translation>
    </message>
    <message>
        <source>球面収差</source>
        <translation>Spherical aberration</translation>
    </message>
    <message>
        <source>トレフォイル 0°</source>
        <translation>Trefoil 0°</translation>
    </message>
    <message>
        <source>トレフォイル 30°</source>
        <translation>Trefoil 30°</translation>
    </message>
    <message>
        <source>2次非点収差 0°</source>
        <translation>Secondary astigmatism 0°</translation>
    </message>
    <message>
        <source>2次非点収差 45°</source>
        <translation>Secondary astigmatism 45°</translation>
    </message>
    <message>
        <source>2次コマ X</source>
        <translation>Secondary coma X</translation>
    </message>
    <message>
        <source>2次コマ Y</source>
        <translation>Secondary coma Y</translation>
    </message>
    <message>
        <source>2次球面収差</source>
        <translation>Secondary spherical aberration</translation>
    </message>
    <message>
        <source>テトラフォイル 0°</source>
        <translation>Tetrafoil 0°</translation>
    </message>
    <message>
        <source>テトラフォイル 22.5°</source>
        <translation>Tetrafoil 22.5°</translation>
    </message>
    <message>
        <source>2次トレフォイル 0°</source>
        <translation>Secondary trefoil 0°</translation>
    </message>
    <message>
        <source>2次トレフォイル 30°</source>
        <translation>Secondary trefoil 30°</translation>
    </message>
    <message>
        <source>3次非点収差 0°</source>
        <translation>Tertiary astigmatism 0°</translation>
    </message>
    <message>
        <source>3次非点収差 45°</source>
        <translation>Tertiary astigmatism 45°</translation>
    </message>
    <message>
        <source>3次コマ X</source>
        <translation>Tertiary coma X</translation>
    </message>
    <message>
        <source>3次コマ Y</source>
        <translation>Tertiary coma Y</translation>
    </message>
    <message>
        <source>3次球面収差</source>
        <translation>Tertiary spherical aberration</translation>
    </message>
    <message>
        <source>ペンタフォイル 0°</source>
        <translation>Pentafoil 0°</translation>
    </message>
    <message>
        <source>ペンタフォイル 18°</source>
        <translation>Pentafoil 18°</translation>
    </message>
    <message>
        <source>2次テトラフォイル 0°</source>
        <translation>Secondary tetrafoil 0°</translation>
    </message>
    <message>
        <source>2次テトラフォイル 22.5°</source>
        <translation>Secondary tetrafoil 22.5°</translation>
    </message>
    <message>
        <source>3次トレフォイル 0°</source>
        <translation>Tertiary trefoil 0°</translation>
    </message>
    <message>
        <source>3次トレフォイル 30°</source>
        <translation>Tertiary trefoil 30°</translation>
    </message>
    <message>
        <source>4次非点収差 0°</source>
        <translation>Quaternary astigmatism 0°</translation>
    </message>
    <message>
        <source>4次非点収差 45°</source>
        <translation>Quaternary astigmatism 45°</translation>
    </message>
    <message>
        <source>4次コマ X</source>
        <translation>Quaternary coma X</translation>
    </message>
    <message>
        <source>4次コマ Y</source>
        <translation>Quaternary coma Y</translation>
    </message>
    <message>
        <source>4次球面収差</source>
        <translation>Quaternary spherical aberration</translation>
    </message>
    <message>
        <source>5次球面収差</source>
        <translation>Quinary spherical aberration</translation>
    </message>
    <message>
        <source>ヘキサフォイル 0°</source>
        <translation>Hexafoil 0°</translation>
    </message>
    <message>
        <source>ヘキサフォイル 15°</source>
        <translation>Hexafoil 15°</translation>
    </message>
</context>
<context>
    <name>ZernikeFile</name>
    <message>
        <source>%1 行目: ordering の行は係数の行より前に一度だけ書けます</source>
        <translation>line %1: the ordering line may appear only once, before the coefficient lines</translation>
    </message>
    <message>
        <source>%1 行目: ordering の後には fringe か ansi の 1 語だけを書いてください</source>
        <translation>line %1: write only one word, fringe or ansi, after ordering</translation>
    </message>
    <message>
        <source>%1 行目: 並び順「%2」は使えません。fringe か ansi と書いてください</source>
        <translation>line %1: the ordering &quot;%2&quot; is not known; write fringe or ansi</translation>
    </message>
    <message>
        <source>%1 行目: 値が %2 個あります。1 行には「項番号 係数」の 2 つだけを書いてください</source>
        <translation>line %1: it has %2 values; a line holds only the two values &quot;index coefficient&quot;</translation>
    </message>
    <message>
        <source>%1 行目: 項番号「%2」は整数ではありません</source>
        <translation>line %1: the index &quot;%2&quot; is not a whole number</translation>
    </message>
    <message>
        <source>%1 行目: 項番号 %2 は %3 の並びにありません（%4 から %5 まで）</source>
        <translation>line %1: the index %2 is not in the %3 ordering (%4 to %5)</translation>
    </message>
    <message>
        <source>%1 行目: 項番号 %2 の係数がありません</source>
        <translation>line %1: the index %2 has no coefficient</translation>
    </message>
    <message>
        <source>%1 行目: 項番号 %2 は %3 行目にもあります</source>
        <translation>line %1: the index %2 is also on line %3</translation>
    </message>
    <message>
        <source>%1 行目: 係数「%2」は数値ではありません</source>
        <translation>line %1: the coefficient &quot;%2&quot; is not a number</translation>
    </message>
    <message>
        <source>%1 行目: 係数「%2」は有限の数値ではありません</source>
        <translation>line %1: the coefficient &quot;%2&quot; is not a finite number</translation>
    </message>
    <message>
        <source>%1 行目: 係数 %2 は大きすぎます（%3 波まで）</source>
        <translation>line %1: the coefficient %2 is too large (at most %3 waves)</translation>
    </message>
    <message>
        <source>ゼルニケ係数(*.zer)|*.zer|すべて(*.*)|*.*</source>
        <translation>Zernike coefficients (*.zer)|*.zer|All files (*.*)|*.*</translation>
    </message>
</context>
<context>
    <name>velmora::TAbbr</name>
    <message>
        <source>波面収差</source>
        <translation>Wavefront aberration</translation>
    </message>
    <message>
        <source>波長[nm]</source>
        <translation>λ [nm]</translation>
    </message>
    <message>
        <source>球面収差</source>
        <translation>Spher.</translation>
    </message>
    <message>
        <source>フォーカス</source>
        <translation>Focus</translation>
    </message>
    <message>
        <source>入力値</source>
        <translation>Input</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>波長間隔が %1 nm のため表を作れません。波長間隔を 1 nm 以上にしてください。</source>
        <translation>Cannot make the table with a wavelength step of %1 nm. Make the step 1 nm or more.</translation>
    </message>
    <message>
        <source>波長の数が多すぎるため表を作れません（%1 行）。波長範囲か波長間隔を見直してください。</source>
        <translation>Too many wavelengths to make the table (%1 rows). Check the wavelength range and step.</translation>
    </message>
</context>
<context>
    <name>velmora::TAnalysis</name>
    <message>
        <source>解析</source>
        <translation>Analysis</translation>
    </message>
    <message>
        <source>まだ計算結果がありません。「計算開始」で計算すると、ここに測定値とグラフが表示されます。</source>
        <translation>Nothing to show yet. Run a calculation with &quot;Start&quot; and its measurements and plots appear here.</translation>
    </message>
    <message>
        <source>サンプリングの警告</source>
        <translation>Sampling warnings</translation>
    </message>
    <message>
        <source>コピー</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>表の数値をタブ区切りのテキストでクリップボードに写します</source>
        <translation>Copies the table&apos;s numbers to the clipboard as tab-separated text</translation>
    </message>
    <message>
        <source>動径方向の強度分布 (対数)</source>
        <translation>Radial profile (logarithmic)</translation>
    </message>
    <message>
        <source>エンサークルドエネルギー</source>
        <translation>Encircled energy</translation>
    </message>
    <message>
        <source>MTF</source>
        <translation>MTF</translation>
    </message>
    <message>
        <source>PNG で保存</source>
        <translation>Save as PNG</translation>
    </message>
    <message>
        <source>ありません。</source>
        <translation>None.</translation>
    </message>
    <message>
        <source>項目</source>
        <translation>Quantity</translation>
    </message>
    <message>
        <source>半径 (µm)</source>
        <translation>Radius (µm)</translation>
    </message>
    <message>
        <source>ピークに対する強度</source>
        <translation>Intensity / peak</translation>
    </message>
    <message>
        <source>計算</source>
        <translation>Calculated</translation>
    </message>
    <message>
        <source>半径 (秒角)</source>
        <translation>Radius (arcsec)</translation>
    </message>
    <message>
        <source>全エネルギーに対する割合</source>
        <translation>Fraction of the energy</translation>
    </message>
    <message>
        <source>空間周波数 (本/mm)</source>
        <translation>Frequency (cycles/mm)</translation>
    </message>
    <message>
        <source>x 方向</source>
        <translation>along x</translation>
    </message>
    <message>
        <source>y 方向</source>
        <translation>along y</translation>
    </message>
    <message>
        <source>表示範囲</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>r80 の %1 倍</source>
        <translation>%1 × r80</translation>
    </message>
    <message>
        <source>横軸の範囲を r80 の何倍まで広げるか選びます</source>
        <translation>How far the radius axis reaches, in multiples of r80</translation>
    </message>
    <message>
        <source>%1 理想</source>
        <translation>%1 ideal</translation>
    </message>
    <message>
        <source>理想: 同じ瞳で収差のない場合</source>
        <translation>Ideal: the same pupil without aberrations</translation>
    </message>
    <message>
        <source>副鏡の遮蔽、スパイダー、透過率分布とマスクはそのままに、収差だけを除いて同じ波長と重みで計算した像です。ストレール比はこの像のピークに対する比です。</source>
        <translation>The pattern of the same pupil (secondary, spider vanes, transmission profile and mask) at the same wavelengths and weights, with the aberrations alone removed. The Strehl ratio is the peak over this pattern&apos;s peak.</translation>
    </message>
    <message>
        <source>理想</source>
        <translation>Ideal</translation>
    </message>
    <message>
        <source>基準として保持(&amp;K)</source>
        <translation>&amp;Keep as reference</translation>
    </message>
    <message>
        <source>基準を解除(&amp;K)</source>
        <translation>Release the &amp;kept reference</translation>
    </message>
    <message>
        <source>表示中の測定値を基準として残し、以後の結果のグラフと表に並べて表示します</source>
        <translation>Keeps the measurements shown as the reference and shows them beside every later result in the plots and the table</translation>
    </message>
    <message>
        <source>スルーフォーカス</source>
        <translation>Through focus</translation>
    </message>
    <message>
        <source>デフォーカス (波長 P-V)</source>
        <translation>Defocus (waves P-V)</translation>
    </message>
    <message>
        <source>ストレール比</source>
        <translation>Strehl ratio</translation>
    </message>
    <message>
        <source>%1 (基準)</source>
        <translation>%1 (reference)</translation>
    </message>
    <message>
        <source>%1 基準</source>
        <translation>%1 reference</translation>
    </message>
    <message>
        <source>基準</source>
        <translation>Reference</translation>
    </message>
</context>
<context>
    <name>velmora::TCamera</name>
    <message>
        <source>「大気とカメラ」で画素の大きさを入れてください。</source>
        <translation>Enter the pixel size in &quot;Sky and camera&quot;.</translation>
    </message>
    <message>
        <source>計算すると、その結果のカメラ像を表示します。</source>
        <translation>Calculate to see the camera image of the result.</translation>
    </message>
    <message>
        <source>赤</source>
        <translation>red</translation>
    </message>
    <message>
        <source>緑</source>
        <translation>green</translation>
    </message>
    <message>
        <source>青</source>
        <translation>blue</translation>
    </message>
    <message>
        <source>カメラ像</source>
        <translation>Camera image</translation>
    </message>
    <message>
        <source>「大気とカメラ」で画素の大きさを入れ、計算してください。</source>
        <translation>Enter the pixel size in &quot;Sky and camera&quot; and calculate.</translation>
    </message>
    <message>
        <source>アンダーサンプリング（半値幅あたり 2 画素未満）</source>
        <translation>undersampled (under 2 pixels per FWHM)</translation>
    </message>
    <message>
        <source>オーバーサンプリング（半値幅あたり 5 画素超）</source>
        <translation>oversampled (over 5 pixels per FWHM)</translation>
    </message>
    <message>
        <source>適正なサンプリング（半値幅あたり 2〜5 画素）</source>
        <translation>well sampled (2 to 5 pixels per FWHM)</translation>
    </message>
    <message>
        <source>この結果にはカメラ像がありません。</source>
        <translation>This result has no camera image.</translation>
    </message>
    <message>
        <source>画素 %1 µm = %2″/画素</source>
        <translation>Pixel %1 µm = %2″/pixel</translation>
    </message>
    <message>
        <source>中央 %1 × %1 画素を表示</source>
        <translation>The middle %1 × %1 pixels</translation>
    </message>
    <message>
        <source>半値幅 %1 画素（星像 %2 画素）</source>
        <translation>FWHM %1 pixels (star %2 pixels)</translation>
    </message>
    <message>
        <source>画素 %1 µm は、この結果の標本間隔の半分 %2 µm より細かく、カメラ像にできません。</source>
        <translation>A pixel of %1 µm is finer than half this result&apos;s sample spacing, %2 µm: no camera image.</translation>
    </message>
</context>
<context>
    <name>velmora::TForm1</name>
    <message>
        <source>終了時のパラメータを保存できませんでした。
%1</source>
        <translation>Could not save the parameters on closing.
%1</translation>
    </message>
    <message>
        <source>%1 を最後まで読み込めませんでした（%2 行目「%3」の値が読めません）。それより前の値だけを読み込みました。</source>
        <translation>Could not read %1 to the end (the value of &quot;%3&quot; in line %2 cannot be read). Only the values before it were read.</translation>
    </message>
    <message>
        <source>ユーザフィルタ %1 を読み込めませんでした（%2）。前のフィルタのままです。</source>
        <translation>Could not read the user filter %1 (%2). The previous filter is kept.</translation>
    </message>
    <message>
        <source>%1 はビットマップとして読み込めません（%2）。</source>
        <translation>%1 cannot be read as a bitmap (%2).</translation>
    </message>
    <message>
        <source>焦点比 %1 では瞳の標本数が 1 から %2 の範囲に入らないため、瞳分布を表示できません。</source>
        <translation>At focal ratio %1 the pupil samples are not within 1 to %2, so the pupil distribution cannot be shown.</translation>
    </message>
    <message>
        <source>開口形状</source>
        <translation>Aperture</translation>
    </message>
    <message>
        <source>濃度分布</source>
        <translation>Density</translation>
    </message>
    <message>
        <source>スペクトル</source>
        <translation>Spectrum</translation>
    </message>
    <message>
        <source>計算開始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>結果表示</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>瞳関数</source>
        <translation>Pupil function</translation>
    </message>
    <message>
        <source>干渉パターン</source>
        <translation>Interference</translation>
    </message>
    <message>
        <source>P-V値</source>
        <translation>P-V</translation>
    </message>
    <message>
        <source>メカニカルデータ</source>
        <translation>Mechanical</translation>
    </message>
    <message>
        <source>主鏡口径</source>
        <translation>Aperture</translation>
    </message>
    <message>
        <source>焦点距離</source>
        <translation>Focal len</translation>
    </message>
    <message>
        <source>副鏡径</source>
        <translation>Sec. dia.</translation>
    </message>
    <message>
        <source>太さ</source>
        <translation>Width</translation>
    </message>
    <message>
        <source>角度１</source>
        <translation>Vane 1</translation>
    </message>
    <message>
        <source>角度２</source>
        <translation>Vane 2</translation>
    </message>
    <message>
        <source>角度３</source>
        <translation>Vane 3</translation>
    </message>
    <message>
        <source>角度４</source>
        <translation>Vane 4</translation>
    </message>
    <message>
        <source>度</source>
        <translation>°</translation>
    </message>
    <message>
        <source>波長データ</source>
        <translation>Wavelengths</translation>
    </message>
    <message>
        <source>波長範囲</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>波長間隔</source>
        <translation>Step</translation>
    </message>
    <message>
        <source>モノクロ</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>カラー</source>
        <translation>Colour</translation>
    </message>
    <message>
        <source>ホワイト</source>
        <translation>White</translation>
    </message>
    <message>
        <source>赤チャネル</source>
        <translation>Red</translation>
    </message>
    <message>
        <source>緑チャネル</source>
        <translation>Green</translation>
    </message>
    <message>
        <source>青チャネル</source>
        <translation>Blue</translation>
    </message>
    <message>
        <source>～</source>
        <translation>-</translation>
    </message>
    <message>
        <source>係数</source>
        <translation>Coef</translation>
    </message>
    <message>
        <source>ガウス</source>
        <translation>Gauss</translation>
    </message>
    <message>
        <source>COS</source>
        <translation>COS</translation>
    </message>
    <message>
        <source>三角</source>
        <translation>Triangle</translation>
    </message>
    <message>
        <source>ユーザフィルタ</source>
        <translation>User filter</translation>
    </message>
    <message>
        <source>ユーザマスク</source>
        <translation>User mask</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <source>波面収差データ</source>
        <translation>Aberrations</translation>
    </message>
    <message>
        <source>ゼロ</source>
        <translation>Zero</translation>
    </message>
    <message>
        <source>フォーカス</source>
        <translation>Focus</translation>
    </message>
    <message>
        <source>球面収差</source>
        <translation>Spherical</translation>
    </message>
    <message>
        <source>非点収差（Ｍ）</source>
        <translation>Astig. M</translation>
    </message>
    <message>
        <source>非点収差（Ｓ）</source>
        <translation>Astig. S</translation>
    </message>
    <message>
        <source>コマ（Ｘ）</source>
        <translation>Coma X</translation>
    </message>
    <message>
        <source>コマ（Ｙ）</source>
        <translation>Coma Y</translation>
    </message>
    <message>
        <source>チルト（Ｘ）</source>
        <translation>Tilt X</translation>
    </message>
    <message>
        <source>チルト（Ｙ）</source>
        <translation>Tilt Y</translation>
    </message>
    <message>
        <source>コントラスト</source>
        <translation>Contrast</translation>
    </message>
    <message>
        <source>波長依存</source>
        <translation>λ table</translation>
    </message>
    <message>
        <source>その他データ</source>
        <translation>Other</translation>
    </message>
    <message>
        <source>フィルタ位置</source>
        <translation>Filter position</translation>
    </message>
    <message>
        <source>シフト（X)</source>
        <translation>Shift (X)</translation>
    </message>
    <message>
        <source>シフト（Y)</source>
        <translation>Shift (Y)</translation>
    </message>
    <message>
        <source>PSF拡大縮小</source>
        <translation>PSF scale</translation>
    </message>
    <message>
        <source>倍率</source>
        <translation>Mag.</translation>
    </message>
    <message>
        <source>計算データ</source>
        <translation>Calculation</translation>
    </message>
    <message>
        <source>分割数</source>
        <translation>Grid</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>データ読み出し(&amp;O)</source>
        <translation>&amp;Open data</translation>
    </message>
    <message>
        <source>データ保存(&amp;S)</source>
        <translation>&amp;Save data</translation>
    </message>
    <message>
        <source>パラメータ初期化</source>
        <translation>Reset parameters</translation>
    </message>
    <message>
        <source>ユーザフィルタ分布読み込み(&amp;U)</source>
        <translation>Load &amp;user filter</translation>
    </message>
    <message>
        <source>ユーザマスク読み込み(&amp;I)</source>
        <translation>Load user &amp;mask</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>表示(&amp;D)</source>
        <translation>&amp;Display</translation>
    </message>
    <message>
        <source>無収差(&amp;R)</source>
        <translation>Without abe&amp;rrations</translation>
    </message>
    <message>
        <source>波面収差(&amp;W)</source>
        <translation>&amp;Wavefront aberrations</translation>
    </message>
    <message>
        <source>ユーザフィルタ画像(&amp;I)</source>
        <translation>User filter &amp;image</translation>
    </message>
    <message>
        <source>ユーザマスク確認(&amp;M)</source>
        <translation>Check user &amp;mask</translation>
    </message>
    <message>
        <source>瞳(&amp;P)</source>
        <translation>&amp;Pupil</translation>
    </message>
    <message>
        <source>瞳分布表示(&amp;D)</source>
        <translation>Pupil &amp;distribution</translation>
    </message>
    <message>
        <source>干渉縞(&amp;F)</source>
        <translation>Interference &amp;fringes</translation>
    </message>
    <message>
        <source>結果(&amp;R)</source>
        <translation>&amp;Results</translation>
    </message>
    <message>
        <source>１次元強度分布(&amp;1)</source>
        <translation>&amp;1D intensity</translation>
    </message>
    <message>
        <source>２次元強度分布(&amp;2)</source>
        <translation>&amp;2D intensity</translation>
    </message>
    <message>
        <source>３次元強度分布(&amp;3)</source>
        <translation>&amp;3D intensity</translation>
    </message>
    <message>
        <source>バージョン(&amp;V)</source>
        <translation>&amp;Version</translation>
    </message>
    <message>
        <source>ユーザマスクを読み込んでください</source>
        <translation>Please load a user mask</translation>
    </message>
    <message>
        <source>ユーザフィルタ分布を読み込んでください</source>
        <translation>Please load a user filter</translation>
    </message>
    <message>
        <source>データファイル(*.vl2)|*.vl2</source>
        <translation>Data file(*.vl2)|*.vl2</translation>
    </message>
    <message>
        <source>パネルの値を数値に変換できないため、終了時のパラメータを保存できません（%1）。
保存せずに終了しますか？</source>
        <translation>A panel value is not a number, so the closing state cannot be saved (%1).
Close without saving?</translation>
    </message>
    <message>
        <source>%1 の %2 行目「%3」の値を読み込めませんでした。それより後の値は出荷時の値のままです。</source>
        <translation>The value of line %2 (&quot;%3&quot;) of %1 could not be read. The values after it keep their factory settings.</translation>
    </message>
    <message>
        <source>%1 を読み込めませんでした（%2）。</source>
        <translation>%1 could not be read (%2).</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>計算中です。「中止」または Esc で止められます。</source>
        <translation>Calculating. Stop or Esc ends the run.</translation>
    </message>
    <message>
        <source>自動計算(&amp;L)</source>
        <translation>&amp;Live calculation</translation>
    </message>
    <message>
        <source>解析(&amp;A)</source>
        <translation>&amp;Analysis</translation>
    </message>
    <message>
        <source>設定一式(*.json)|*.json</source>
        <translation>Set-up (*.json)|*.json</translation>
    </message>
    <message>
        <source>設定一式を保存(&amp;A)...</source>
        <translation>Save &amp;all settings...</translation>
    </message>
    <message>
        <source>設定一式を読込(&amp;O)...</source>
        <translation>&amp;Load all settings...</translation>
    </message>
    <message>
        <source>設定一式 %1 を読み込めませんでした（%2）。何も変えていません。</source>
        <translation>The set-up %1 could not be read (%2). Nothing was changed.</translation>
    </message>
    <message>
        <source>収差係数の一部はパネルの刻みに丸めました。</source>
        <translation>Some aberration coefficients were rounded to the panel&apos;s steps.</translation>
    </message>
    <message>
        <source>ゼルニケ係数(&amp;Z)...</source>
        <translation>&amp;Zernike coefficients...</translation>
    </message>
    <message>
        <source>主鏡と視野(&amp;F)...</source>
        <translation>Mirror and &amp;field...</translation>
    </message>
    <message>
        <source>スターテスト(&amp;T)</source>
        <translation>S&amp;tar test</translation>
    </message>
    <message>
        <source>大気とカメラ(&amp;A)...</source>
        <translation>Sky and c&amp;amera...</translation>
    </message>
    <message>
        <source>カメラ像(&amp;C)</source>
        <translation>&amp;Camera image</translation>
    </message>
</context>
<context>
    <name>velmora::TMaskDis</name>
    <message>
        <source>ウィンドウ(&amp;W)</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>情報(&amp;I)</source>
        <translation>&amp;Info</translation>
    </message>
    <message>
        <source>画像情報を見る(&amp;C)</source>
        <translation>Picture &amp;size</translation>
    </message>
    <message>
        <source>必要最小サイズ(&amp;M)</source>
        <translation>&amp;Minimum size</translation>
    </message>
    <message>
        <source>画像サイズは %1 x %2 です。</source>
        <translation>The picture is %1 x %2.</translation>
    </message>
    <message>
        <source>口径・焦点距離・波長が正の値でないため、必要最小サイズを計算できません。</source>
        <translation>The aperture, the focal length or a wavelength is not positive, so the minimum size cannot be calculated.</translation>
    </message>
    <message>
        <source>現在のパラメータでユーザマスクに必要な最小画像サイズは %1 x %1 です。</source>
        <translation>With the current parameters the user mask must be at least %1 x %1.</translation>
    </message>
</context>
<context>
    <name>velmora::TMirror</name>
    <message>
        <source>主鏡と視野</source>
        <translation>Mirror and field</translation>
    </message>
    <message>
        <source>主鏡の収差を加える</source>
        <translation>Add the primary mirror&apos;s aberrations</translation>
    </message>
    <message>
        <source>円錐定数 K</source>
        <translation>Conic constant K</translation>
    </message>
    <message>
        <source>(0 球面, -1 放物面)</source>
        <translation>(0 sphere, -1 paraboloid)</translation>
    </message>
    <message>
        <source>視野角</source>
        <translation>Field angle</translation>
    </message>
    <message>
        <source>分角</source>
        <translation>arcmin</translation>
    </message>
    <message>
        <source>方位角</source>
        <translation>Azimuth</translation>
    </message>
    <message>
        <source>度 (x 軸から y 軸へ)</source>
        <translation>degrees (from x towards y)</translation>
    </message>
    <message>
        <source>切: 波面に何も加えません。</source>
        <translation>Off: nothing is added to the wavefront.</translation>
    </message>
    <message>
        <source>収差なし</source>
        <translation>no aberration</translation>
    </message>
    <message>
        <source>Fringe 項 (%1 nm, 波): %2</source>
        <translation>Fringe terms (%1 nm, waves): %2</translation>
    </message>
    <message>
        <source>円錐定数</source>
        <translation>Conic constant</translation>
    </message>
</context>
<context>
    <name>velmora::TPSF</name>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>FITS保存(&amp;F)</source>
        <translation>Save as &amp;FITS</translation>
    </message>
</context>
<context>
    <name>velmora::TPSF1D</name>
    <message>
        <source>直線スケール</source>
        <translation>Linear scale</translation>
    </message>
    <message>
        <source>対数スケール</source>
        <translation>Log scale</translation>
    </message>
    <message>
        <source>断面位置</source>
        <translation>Cut position</translation>
    </message>
    <message>
        <source>倍率 = 1</source>
        <translation>Mag = 1</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>データ保存(&amp;S)</source>
        <translation>&amp;Save data</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>テキストデータ|*.txt</source>
        <translation>Text data|*.txt</translation>
    </message>
    <message>
        <source>位置 (µm)</source>
        <translation>Position (µm)</translation>
    </message>
</context>
<context>
    <name>velmora::TPSF3D</name>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>画像保存(&amp;S)</source>
        <translation>&amp;Save picture</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
</context>
<context>
    <name>velmora::TPupil</name>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
</context>
<context>
    <name>velmora::TSky</name>
    <message>
        <source>大気とカメラ</source>
        <translation>Sky and camera</translation>
    </message>
    <message>
        <source>シーイング(″)</source>
        <translation>Seeing (″)</translation>
    </message>
    <message>
        <source>500 nm での半値幅、0 は大気なし</source>
        <translation>FWHM at 500 nm, 0: no atmosphere</translation>
    </message>
    <message>
        <source>伴星の離角(″)</source>
        <translation>Companion separation (″)</translation>
    </message>
    <message>
        <source>0 は単星</source>
        <translation>0: a single star</translation>
    </message>
    <message>
        <source>伴星の位置角(°)</source>
        <translation>Companion position angle (°)</translation>
    </message>
    <message>
        <source>x 軸から y 軸へ</source>
        <translation>from x towards y</translation>
    </message>
    <message>
        <source>伴星の等級差</source>
        <translation>Companion Δm</translation>
    </message>
    <message>
        <source>0 から 15</source>
        <translation>0 to 15</translation>
    </message>
    <message>
        <source>カメラの画素(µm)</source>
        <translation>Camera pixel (µm)</translation>
    </message>
    <message>
        <source>0 はカメラなし</source>
        <translation>0: no camera</translation>
    </message>
    <message>
        <source>シーイング</source>
        <translation>Seeing</translation>
    </message>
    <message>
        <source>伴星の離角</source>
        <translation>Companion separation</translation>
    </message>
    <message>
        <source>伴星の位置角</source>
        <translation>Companion position angle</translation>
    </message>
    <message>
        <source>カメラの画素</source>
        <translation>Camera pixel</translation>
    </message>
</context>
<context>
    <name>velmora::TStarTest</name>
    <message>
        <source>スターテスト</source>
        <translation>Star test</translation>
    </message>
    <message>
        <source>焦点内</source>
        <translation>Inside focus</translation>
    </message>
    <message>
        <source>焦点外</source>
        <translation>Outside focus</translation>
    </message>
    <message>
        <source>デフォーカス (P-V, 波):</source>
        <translation>Defocus (P-V, waves):</translation>
    </message>
    <message>
        <source>計算結果がありません。計算するとスターテストを表示します。</source>
        <translation>There is no result yet. Calculate, and the star test is shown.</translation>
    </message>
    <message>
        <source>計算中...</source>
        <translation>Calculating...</translation>
    </message>
    <message>
        <source>フォーカサー移動量: ±%1 mm</source>
        <translation>Focuser travel: ±%1 mm</translation>
    </message>
    <message>
        <source>デフォーカスした像の直径 %1 µm が計算グリッドの幅 %2 µm に収まりません。デフォーカスを小さくしてください。</source>
        <translation>The defocused disc, %1 µm across, does not fit in the calculation grid of %2 µm. Choose a smaller defocus.</translation>
    </message>
    <message>
        <source>画像の幅 %1 µm（像の直径 8Ndλ = %2 µm、波長 %3 nm）</source>
        <translation>Picture width %1 µm (disc diameter 8Ndλ = %2 µm, wavelength %3 nm)</translation>
    </message>
</context>
<context>
    <name>velmora::TZernike</name>
    <message>
        <source>ゼルニケ係数</source>
        <translation>Zernike coefficients</translation>
    </message>
    <message>
        <source>Fringe (Z1〜Z37)</source>
        <translation>Fringe (Z1 to Z37)</translation>
    </message>
    <message>
        <source>ANSI Z80.28 (j = 0〜90, RMS 正規化)</source>
        <translation>ANSI Z80.28 (j = 0 to 90, RMS-normalised)</translation>
    </message>
    <message>
        <source>番号</source>
        <translation>Index</translation>
    </message>
    <message>
        <source>名前</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>係数 (λ)</source>
        <translation>Coefficient (λ)</translation>
    </message>
    <message>
        <source>読込</source>
        <translation>Load</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>ゼロ</source>
        <translation>Zero</translation>
    </message>
    <message>
        <source>波面全体（パネル＋ゼルニケ）:</source>
        <translation>Whole wavefront (panel + Zernike):</translation>
    </message>
    <message>
        <source>%1 を読み込めませんでした（%2）。前の係数のままです。</source>
        <translation>%1 could not be read (%2). The coefficients are as they were.</translation>
    </message>
    <message>
        <source>%1 個の項は Fringe の並びにないため失われます。切り替えますか？</source>
        <translation>%1 terms have no place in the Fringe ordering and will be lost. Switch anyway?</translation>
    </message>
    <message>
        <source>%1 番の係数「%2」は使えません。-%3 から %3 までの数値（波）を入れてください。前の値のままです。</source>
        <translation>The coefficient &quot;%2&quot; of term %1 cannot be used. Enter a number of waves from -%3 to %3. The value is as it was.</translation>
    </message>
</context>
</TS>
