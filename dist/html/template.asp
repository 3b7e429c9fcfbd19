<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta http-equiv="refresh" content="60">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Wendro - <VV> V</title>
<style>
  body { margin: 0; padding: 2rem 1rem; background: #eef2f5; color: #1d2933;
         font-family: "Segoe UI", Helvetica, Arial, sans-serif; }
  main { max-width: 30rem; margin: 0 auto; background: #fff; border-radius: 10px;
         box-shadow: 0 2px 8px rgba(0, 0, 0, 0.12); padding: 1.5rem 2rem; }
  h1 { margin: 0 0 0.25rem; font-size: 1.5rem; }
  p.updated { margin: 0 0 1.25rem; color: #5b6b78; }
  table { width: 100%; border-collapse: collapse; font-size: 1.2rem; }
  th { text-align: left; font-weight: normal; color: #5b6b78; padding: 0.55rem 0; }
  td { text-align: right; padding: 0.55rem 0; font-weight: 600; font-variant-numeric: tabular-nums; }
  td.unit { width: 3.5rem; padding-left: 0.5rem; text-align: left; font-weight: normal; color: #5b6b78; }
  tr + tr th, tr + tr td { border-top: 1px solid #e3e8ec; }
  /* The mode cell is empty when the load is off. */
  td.load { color: #1a7f37; }
  td.load:empty { color: #5b6b78; font-weight: normal; }
  td.load:empty::before { content: "Off"; }
  footer { margin-top: 1.25rem; font-size: 0.85rem; color: #5b6b78; }
</style>
</head>
<body>
<main>
  <h1>Wendro wind plant</h1>
  <p class="updated">Last logged at <TT></p>
  <table>
    <tr><th>Battery voltage</th><td><VV></td><td class="unit">V</td></tr>
    <tr><th>Charge current</th><td><II></td><td class="unit">A</td></tr>
    <tr><th>Power</th><td><WW></td><td class="unit">W</td></tr>
    <tr><th>Energy today</th><td><WH></td><td class="unit">Wh</td></tr>
    <tr><th>Generator speed</th><td><RR></td><td class="unit">RPM</td></tr>
    <tr><th>Wind speed</th><td><SS></td><td class="unit">km/h</td></tr>
    <tr><th>Load</th><td class="load" colspan="2"><MM></td></tr>
  </table>
  <footer>Peak values of the last logging interval. The page reloads every minute.
  The wind speed unit above is the one set in the program's setup when this page was made;
  edit it here if you change it there.</footer>
</main>
</body>
</html>
