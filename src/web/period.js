"use strict";
// What the dashboard and the Turbine page share: date helpers, asking Wendro for JSON, and the
// period picker (the controls kinds, prev, next, pfrom, pto, toPart and plabel) over a view of
// {kind, at, from, to}, kept in the address as #day=2026-11-05, #week=…, #month=2026-11,
// #year=2026 or #from=2026-11-01&to=2026-11-20, so a view can be linked to and reloaded.
const $ = id => document.getElementById(id);
const pad = n => String(n).padStart(2, "0");
const isoDay = d => d.getFullYear() + "-" + pad(d.getMonth() + 1) + "-" + pad(d.getDate());
const fixed = (v, digits) => (typeof v === "number" ? v.toFixed(digits) : "–");
const dayOf = text => { const [y, m, d] = text.split("-").map(Number); return new Date(y, m - 1, d); };
const addDays = (d, n) => new Date(d.getFullYear(), d.getMonth(), d.getDate() + n);

async function getJson(url) {
  let r;
  try { r = await fetch(url, {cache: "no-store"}); }
  catch (e) { throw new Error("Wendro does not answer."); }
  const j = await r.json().catch(() => null);
  if (!r.ok || !j) throw new Error((j && j.error) || `${r.status} ${r.statusText}`);
  return j;
}

// The first and last day of the view's period, from the day it is anchored at.
function periodSpan(view) {
  const a = view.at, y = a.getFullYear(), m = a.getMonth();
  switch (view.kind) {
    case "day": return [a, a];
    case "week": { const first = addDays(a, -((a.getDay() + 6) % 7)); return [first, addDays(first, 6)]; }
    case "month": return [new Date(y, m, 1), new Date(y, m + 1, 0)];
    case "year": return [new Date(y, 0, 1), new Date(y, 11, 31)];
    default: return [view.from, view.to];
  }
}

// The period before (by -1) or after (by 1); from–to moves by its own length.
function stepPeriod(view, by) {
  const a = view.at, y = a.getFullYear(), m = a.getMonth();
  if (view.kind === "day") view.at = addDays(a, by);
  else if (view.kind === "week") view.at = addDays(a, 7 * by);
  else if (view.kind === "month") view.at = new Date(y, m + by, 1);
  else if (view.kind === "year") view.at = new Date(y + by, 0, 1);
  else {
    const days = Math.round((view.to - view.from) / 864e5) + 1;
    view.from = addDays(view.from, by * days);
    view.to = addDays(view.to, by * days);
  }
}

function periodLabel(view, first, last) {
  const date = (d, o) => d.toLocaleDateString(undefined, o);
  switch (view.kind) {
    case "day": return date(first, {weekday: "long", day: "numeric", month: "long", year: "numeric"});
    case "month": return date(first, {month: "long", year: "numeric"});
    case "year": return String(first.getFullYear());
    default: return date(first, {day: "numeric", month: "short", year: "numeric"}) + " – " +
                    date(last, {day: "numeric", month: "short", year: "numeric"});
  }
}

// The period the address names, of the kinds a page offers; true when it names one.
function readPeriod(view, address, kinds) {
  const valid = t => /^\d{4}-\d{2}-\d{2}$/.test(t || "") && !isNaN(dayOf(t));
  if (valid(address.get("from")) && valid(address.get("to"))) {
    Object.assign(view, {kind: "dates", from: dayOf(address.get("from")), to: dayOf(address.get("to"))});
    return true;
  }
  const full = {day: t => t, week: t => t, month: t => t + "-01", year: t => t + "-01-01"};
  for (const kind of kinds) {
    if (address.has(kind) && valid(full[kind](address.get(kind)))) {
      Object.assign(view, {kind, at: dayOf(full[kind](address.get(kind)))});
      return true;
    }
  }
  return false;
}

function periodAddress(view, first, last) {
  const f = isoDay(first);
  return {day: "day=" + f, week: "week=" + f, month: "month=" + f.slice(0, 7),
          year: "year=" + f.slice(0, 4), dates: `from=${f}&to=${isoDay(last)}`}[view.kind];
}

// The picker's controls as the view stands.
function showPicker(view, first, last) {
  for (const b of $("kinds").children) b.setAttribute("aria-pressed", b.dataset.kind === view.kind);
  $("pfrom").value = isoDay(view.kind === "dates" ? first : view.at);
  $("pto").value = isoDay(last);
  $("toPart").hidden = view.kind !== "dates";
  $("plabel").textContent = periodLabel(view, first, last);
}

// The picker's controls change the view, then show draws it. Leaving from–to for a month or
// a year keeps the one holding its first day, or its last with keepLast.
function wirePicker(view, show, keepLast) {
  for (const b of $("kinds").children) {
    b.addEventListener("click", () => {
      const [first, last] = periodSpan(view);
      if (b.dataset.kind === "dates") Object.assign(view, {from: first, to: last});
      else view.at = view.kind === "dates" ? (keepLast ? last : first) : view.at;
      view.kind = b.dataset.kind;
      show();
    });
  }
  $("prev").addEventListener("click", () => { stepPeriod(view, -1); show(); });
  $("next").addEventListener("click", () => { stepPeriod(view, 1); show(); });
  $("pfrom").addEventListener("change", () => {
    if (!$("pfrom").value) return;
    const d = dayOf($("pfrom").value);
    if (view.kind !== "dates") view.at = d;
    else Object.assign(view, {from: d, to: d > view.to ? d : view.to});
    show();
  });
  $("pto").addEventListener("change", () => {
    if (!$("pto").value) return;
    const d = dayOf($("pto").value);
    Object.assign(view, {to: d, from: d < view.from ? d : view.from});
    show();
  });
}
