// What each button of the main window does, and its key where it has one:
// the tooltips of the Form's buttons and of the window's own buttons of the
// control panel, keyed by control name. The save strip's and the rule
// panel's own buttons carry theirs where they are made.
#pragma once

namespace tavrine::gui::layout {

struct ToolTip {
  const char* name;
  const char* text;
};

inline constexpr ToolTip kToolTips[] = {
    // Row 1: base date, day steps, manual price, price collection.
    {"Button25", "基準日の欄に入れた日へチャートを移します (基準日の欄でEnter)"},
    {"Button61", "基準日を右の欄の日数だけ新しい日へ進めます (→)"},
    {"Button62", "基準日を右の欄の日数だけ古い日へ戻します (←)"},
    {"Edit10", "次日・前日で進む日数"},
    {"Edit6", "今日の株価を手で入れます。Enterか「追加」でチャートに足します"},
    {"Button34", "追加株価の欄の値を今日の株価としてチャートに足します (追加株価の欄でEnter)"},
    {"Button35", "手で足した株価を取り消して元のチャートに戻します"},
    {"BitBtn1", "株価収集の窓を開きます（銘柄コードを入れて株価を集めます）"},
    {"UndoButton", "デ-タ一覧を最後の変更（取込・調整・追加・改名・削除）の前に戻します"},
    {"ImportButton", "株価ファイル(CSV)を取り込みます (Ctrl+I)"},
    {"AddStockButton",
     "銘柄コードか銘柄名で J-Quants API から銘柄を探し、株価をデ-タ一覧に追加します"},
    {"UpdateButton", "全銘柄の株価を J-Quants API から最新の日まで取得します（APIキーが要ります）"},
    {"UpdateSettingsButton", "一括更新に使う J-Quants API のキーとプランを設定します"},
    // Row 2: stock code, memo, width, lower lines, direction, print.
    {"Button58", "チャートの左のメモを表示/非表示 (メモの保存は Ctrl+S)"},
    {"Button118", "巾: 株価のある日数に合わせて描きます／狭: 期間いっぱいに描きます"},
    {"Button81", "下段の線を切り替えます（S・ST9・ST65・S/O）。押された状態は S 以外の表示"},
    {"Button13", "乖離表示の下段の線を S2・S3・S4 と切り替えます"},
    {"Button47", "検証の入りを買い（入買）と売り（入売）で切り替えます"},
    {"Button59", "チャートを印刷します (Ctrl+P)"},
    {"Button130", "売買の印を表示/非表示"},
    // Row 3: stock button, terms, rules, usage.
    {"Button17", "登録銘柄の一覧を表示/非表示。一覧の銘柄をクリックでチャートに出します"},
    {"Button2", "長期: 約4800日を描きます"},
    {"DrawChart", "中期: 800日を描きます"},
    {"Button4", "短期: 300日を描きます"},
    {"Button37", "規則S1で売買を検証します"},
    {"Button38", "規則S2で売買を検証します"},
    {"Button39", "規則S3で売買を検証します"},
    {"MaskEdit1", "この利率に届かない取引を統計から外します（0.00で全部）"},
    {"Button88", "利用説明の窓を開きます (F1)"},
    // The rule panel.
    {"Button73", "規則G3で売買を検証します"},
    {"Button74", "規則G4で売買を検証します"},
    {"Button75", "規則G5で売買を検証します"},
    {"Button76", "規則G6で売買を検証します"},
    {"Button77", "規則G7で売買を検証します"},
    {"Button1", "規則「乖離」（移動平均からの乖離）で売買を検証します"},
    {"Button83", "規則ST（ストキャスティクス）で売買を検証します"},
    {"Button79", "G3〜G7・乖離・STの期間を長期と短期で切り替えます"},
    {"Button78", "規則の説明を開きます"},
    // The memo and the collection panel over the chart.
    {"Button18", "メモを保存します (Ctrl+S)"},
    {"Button89", "入れた銘柄コードの株価を集めます (コードの欄でEnter)"},
    {"Button90", "株価収集の窓を閉じます"},
    {"Button110", "候補の一覧(pickrow.csv)をチャートの上に出し、最初の候補を描きます"},
    {"Button87", "保有銘柄の集計表(tallysel.csv)をチャートの上に出します"},
    {"Button104", "銘柄を追加してデ-タ一覧を更新します"},
};

}  // namespace tavrine::gui::layout
