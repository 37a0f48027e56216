#include "web/page.h"

// The status and the image files come from the API as nimbrel status --json
// and images --json give them; every action answers with the box's text.
const char pageText[] = R"PAGE(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Nimbrel</title>
<style>
body{font-family:sans-serif;margin:0 auto;max-width:46em;padding:.6em;background:#10161c;color:#e8eef2}
h1{font-size:1.3em}h2{font-size:1.05em;margin-top:1.4em}
table{width:100%;border-collapse:collapse}td,th{padding:.35em;border-bottom:1px solid #2c3a46;text-align:left}
button,select,input{font-size:1em;padding:.35em;margin:.15em 0;border-radius:.3em}
button{background:#2b6cb0;color:#fff;border:0}button.danger{background:#b83232}
#line{min-height:1.4em;padding:.5em;background:#1c2630;border-radius:.3em;white-space:pre-wrap}
.refused,.failed{color:#ff8a80}.done{color:#9be29b}a{color:#8cc8ff}
</style></head><body>
<h1>Nimbrel image store</h1>
<div id="line">loading…</div>
<h2>Slots</h2><p id="store"></p>
<table><thead><tr><th>Slot</th><th>Name</th><th>Size</th><th>Installed</th><th></th></tr></thead><tbody id="slots"></tbody></table>
<h2>Image files</h2>
<table><tbody id="images"></tbody></table>
<p><input type="file" id="upload" multiple> <button id="send">Upload</button></p>
<h2>Install</h2>
<p><select id="file"></select> into <select id="slot"></select>
<input id="name" maxlength="10" placeholder="name" size="10">
<label><input type="checkbox" id="settings"> settings</label>
<label><input type="checkbox" id="removefile"> remove the image file</label>
<button id="install">Install</button> <button id="verify">Verify</button></p>
<h2>Boot menu colour</h2>
<p><select id="colour"></select> <button id="setcolour">Set</button>
<button id="flash">Start the firmware in flash by default</button></p>
<script>
"use strict";
let token = "", polling = false;
const $ = id => document.getElementById(id);
const colours = ["green","cyan","red","magenta","orange","white","gray"];
function show(text, kind) { $("line").textContent = text; $("line").className = kind || ""; }
function said(o) { show(o.message + (o.detail ? ": " + o.detail : ""), o.kind); }
function cell(row, text) { const td = row.insertCell(); td.textContent = text == null ? "" : text; return td; }
function button(td, label, action, danger) {
  const b = document.createElement("button"); b.textContent = label; b.onclick = action;
  if (danger) b.className = "danger"; td.append(b, " ");
}
async function send(path, body) {
  const r = await fetch(path, {method: "POST", headers: {"Content-Type": "application/json", "X-Nimbrel-Token": token},
    body: JSON.stringify(body)});
  const o = await r.json();
  if (o.ok && o.message.endsWith(" started")) { said(o); follow(); } else { await refresh(); said(o); }
}
function slotRow(s) {
  const row = $("slots").insertRow(); cell(row, s.slot + (s.in_boot_menu ? " *" : ""));
  cell(row, (s.name == null ? s.state : s.name) + (s.default ? " (default)" : ""));
  cell(row, s.size_kb == null ? "" : s.size_kb + " kB");
  cell(row, s.installed); const td = cell(row, "");
  if (s.state === "free" || s.state === "blocked") return;
  button(td, "Rename", () => { const n = prompt("New name of slot " + s.slot, s.name || "");
    if (n !== null) send("/api/rename", {slot: s.slot, name: n}); });
  button(td, "Backup", () => send("/api/backup", {slot: s.slot}));
  if (s.state === "installed") button(td, "Default", () => send("/api/default", {slot: s.slot}));
  const what = s.name == null ? "corrupted" : s.name;
  button(td, "Erase", () => { if (confirm("Erase slot " + s.slot + " (" + what + ") with everything in it?"))
    send("/api/erase", {slot: s.slot, confirm: what}); }, true);
}
function imageRow(i) {
  const row = $("images").insertRow(); const td = cell(row, "");
  const a = document.createElement("a"); a.href = "/api/file?name=" + encodeURIComponent(i.file);
  a.textContent = i.file; td.append(a); cell(row, i.size == null ? "" : Math.round(i.size / 1024) + " kB");
  cell(row, i.kind + (i.check === "ok" ? "" : ": " + i.check));
  $("file").add(new Option(i.file, i.file));
}
async function refresh() {
  const status = await (await fetch("/api/status")).json();
  if (status.kind) { said(status); return; }
  const images = await (await fetch("/api/images")).json();
  $("slots").textContent = ""; $("images").textContent = ""; $("file").textContent = ""; $("slot").textContent = "";
  $("store").textContent = status.store + ": " + status.free_kb + " kB free, boot menu colour " +
    (status.color_name || "-") + "; * in the boot menu";
  status.slots.forEach(slotRow); images.forEach(imageRow);
  $("slot").add(new Option("first free", ""));
  status.slots.filter(s => s.state === "free").forEach(s => $("slot").add(new Option(s.slot, s.slot)));
}
async function follow() {
  if (polling) return; polling = true;
  for (;;) {
    const p = await (await fetch("/api/progress")).json();
    if (p.running) { show(p.what + ": " + p.text); await new Promise(r => setTimeout(r, 700)); continue; }
    polling = false; await refresh(); if (p.outcome) said(p.outcome); return;
  }
}
// XMLHttpRequest rather than fetch: it tells how much of the file has gone.
function put(f) {
  return new Promise(done => {
    const x = new XMLHttpRequest();
    x.open("PUT", "/api/upload?name=" + encodeURIComponent(f.name));
    x.setRequestHeader("X-Nimbrel-Token", token);
    x.upload.onprogress = e => show("uploading " + f.name + ": " + Math.floor(100 * e.loaded / e.total) + " %");
    x.onload = () => { try { done(JSON.parse(x.responseText)); } catch (e) { done({message: x.statusText, kind: "failed"}); } };
    x.onerror = () => done({message: "upload incomplete: " + f.name, kind: "failed"});
    x.send(f);
  });
}
async function upload() {
  for (const f of $("upload").files) {
    show("uploading " + f.name + " …");
    const o = await put(f); if (!o.ok) { said(o); return; }
    await refresh(); said(o);
  }
}
function install(path) {
  const slot = $("slot").value;
  send(path, {file: $("file").value, slot: slot === "" ? null : Number(slot), name: $("name").value,
    settings: $("settings").checked, remove_file: $("removefile").checked});
}
$("send").onclick = upload;
$("install").onclick = () => install("/api/install");
$("verify").onclick = () => install("/api/verify");
$("setcolour").onclick = () => send("/api/colour", {colour: $("colour").value});
$("flash").onclick = () => send("/api/default", {});
colours.forEach(c => $("colour").add(new Option(c, c)));
(async () => {
  token = (await (await fetch("/api/session")).json()).token;
  show(""); await refresh(); follow();
})();
</script></body></html>
)PAGE";
