#include "web/page.h"

// The status and the image files come from the API as nimbrel status --json
// and images --json give them; every action answers with the box's text.
const char pageText[] = R"PAGE(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Nimbrel</title>
<style>
html{scroll-padding-bottom:5em}body{font-family:sans-serif;margin:0 auto;max-width:46em;padding:.6em .6em 6em;background:#10161c;color:#e8eef2}
h1{font-size:1.3em}h2{font-size:1.05em;margin-top:1.4em}
table{width:100%;border-collapse:collapse}td,th{padding:.35em;border-bottom:1px solid #2c3a46;text-align:left}
button,select,input{font-size:1em;min-height:44px;padding:.35em .7em;margin:.2em 0;border-radius:.3em;box-sizing:border-box}
button{background:#2b6cb0;color:#fff;border:0;min-width:44px}button.danger{background:#b83232}button:disabled{opacity:.4}
label{display:inline-flex;align-items:center;min-height:44px;margin-right:.8em}
input[type=checkbox]{min-height:0;width:26px;height:26px;margin:0 .4em 0 0}
#line{position:fixed;left:0;right:0;bottom:0;min-height:1.4em;padding:.8em;background:#1c2630;
border-top:2px solid #2b6cb0;white-space:pre-wrap;z-index:9}
.refused,.failed{color:#ff8a80}.done{color:#9be29b}a{color:#8cc8ff}
</style></head><body>
<h1>Nimbrel image store</h1>
<div id="line">loading…</div>
<h2>Slots</h2><p id="store"></p>
<table><thead><tr><th>Slot</th><th>Name</th><th>Size</th><th>Installed</th><th></th></tr></thead><tbody id="slots"></tbody></table>
<h2>Image files</h2>
<table><tbody id="images"></tbody></table>
<p><input type="file" id="upload" multiple> <button id="send">Upload</button></p>
<p><input type="url" id="url" placeholder="http://server/image.img" size="30"> <button id="fetch">Fetch</button></p>
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
// The line at the foot of the window stays in view wherever the page was
// tapped: it tells what runs, how far it is, and how it ended.
let token = "", polling = false, busy = false;
const $ = id => document.getElementById(id);
const colours = ["green","cyan","red","magenta","orange","white","gray"];
function show(text, kind) { $("line").textContent = text; $("line").className = kind || ""; }
function said(o) { show(o.message + (o.detail ? ": " + o.detail : ""), o.kind); }
// While something runs, no button can start another.
function hold(on) { busy = on; document.querySelectorAll("button").forEach(b => b.disabled = on); }
function size(kb) {
  return kb == null ? "" : kb < 1024 ? kb + " kB" : kb < 1048576 ? (kb / 1024).toFixed(1) + " MB" :
    (kb / 1048576).toFixed(2) + " GB";
}
function cell(row, text) { const td = row.insertCell(); td.textContent = text == null ? "" : text; return td; }
function button(td, label, action, danger) {
  const b = document.createElement("button"); b.textContent = label; b.onclick = action; b.disabled = busy;
  if (danger) b.className = "danger"; td.append(b, " ");
}
async function send(path, body) {
  hold(true);
  const r = await fetch(path, {method: "POST", headers: {"Content-Type": "application/json", "X-Nimbrel-Token": token},
    body: JSON.stringify(body)});
  const o = await r.json();
  if (o.ok && o.message.endsWith(" started")) { said(o); follow(); return; }
  hold(false); await refresh(); said(o);
}
function slotRow(s) {
  const row = $("slots").insertRow(); cell(row, s.slot + (s.in_boot_menu ? " *" : ""));
  cell(row, (s.name == null ? s.state : s.name) + (s.default ? " (default)" : ""));
  cell(row, size(s.size_kb));
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
  a.textContent = i.file; td.append(a); cell(row, i.size == null ? "" : size(Math.round(i.size / 1024)));
  cell(row, i.kind + (i.check === "ok" ? "" : ": " + i.check));
  button(cell(row, ""), "Delete", () => { if (confirm("Delete the image file " + i.file + " and its checksum files?"))
    send("/api/remove", {file: i.file}); }, true);
  $("file").add(new Option(i.file, i.file));
}
// Shows the store afresh; the image files as listed.
async function refresh() {
  const status = await (await fetch("/api/status")).json();
  if (status.kind) { said(status); return []; }
  const images = await (await fetch("/api/images")).json();
  $("slots").textContent = ""; $("images").textContent = ""; $("file").textContent = ""; $("slot").textContent = "";
  $("store").textContent = status.store + ": " + size(status.free_kb) + " free, boot menu colour " +
    (status.color_name || "-") + "; * in the boot menu";
  status.slots.forEach(slotRow); images.forEach(imageRow);
  $("slot").add(new Option("first free", ""));
  status.slots.filter(s => s.state === "free").forEach(s => $("slot").add(new Option(s.slot, s.slot)));
  return images;
}
// Follows what runs in the server to its end; QUIET: an end seen at once is
// an older one, not said again.
async function follow(quiet) {
  if (polling) return; polling = true;
  for (let first = true;; first = false) {
    const p = await (await fetch("/api/progress")).json();
    if (p.running) { hold(true); show(p.what + ": " + p.text); await new Promise(r => setTimeout(r, 700)); continue; }
    polling = false; hold(false); await refresh(); if (p.outcome && !(quiet && first)) said(p.outcome); return;
  }
}
function rate(bytes, seconds) {
  return seconds > 0 ? " at " + size(Math.round(bytes / seconds / 1024)) + "/s" : "";
}
// XMLHttpRequest rather than fetch: it tells how much of the file has gone.
function put(f) {
  return new Promise(done => {
    const x = new XMLHttpRequest(), start = Date.now();
    x.open("PUT", "/api/upload?name=" + encodeURIComponent(f.name));
    x.setRequestHeader("X-Nimbrel-Token", token);
    x.upload.onprogress = e => {
      const seconds = (Date.now() - start) / 1000, left = e.loaded && seconds ? (e.total - e.loaded) * seconds / e.loaded : 0;
      show("uploading " + f.name + ": " + Math.floor(100 * e.loaded / e.total) + " %" + rate(e.loaded, seconds) +
        (e.loaded ? ", " + Math.ceil(left) + " s left" : ""));
    };
    x.onload = () => { try { done(JSON.parse(x.responseText)); } catch (e) { done({message: x.statusText, kind: "failed"}); } };
    x.onerror = () => done({message: "upload incomplete: " + f.name, kind: "failed"});
    x.send(f);
  });
}
// Each file in turn, then the store's own checks on it, as the listing gives them.
async function upload() {
  hold(true);
  for (const f of $("upload").files) {
    show("uploading " + f.name + " …");
    sessionStorage.setItem("upload", f.name);  // a reload meanwhile says what became of it
    const o = await put(f);
    sessionStorage.removeItem("upload");
    if (!o.ok) { hold(false); said(o); return; }
    const listed = (await refresh()).find(i => i.file === f.name);
    if (listed && listed.check !== "ok") {
      hold(false); said({message: "uploaded " + f.name + ", but it cannot be installed: " + listed.check +
        " (Delete removes it)", kind: "refused"}); return;
    }
    said(o);
  }
  hold(false);
}
function install(path) {
  const slot = $("slot").value;
  send(path, {file: $("file").value, slot: slot === "" ? null : Number(slot), name: $("name").value,
    settings: $("settings").checked, remove_file: $("removefile").checked});
}
$("send").onclick = upload;
// The server fetches it as a job: its progress and outcome as an installation's.
$("fetch").onclick = () => send("/api/fetch", {url: $("url").value});
$("install").onclick = () => install("/api/install");
$("verify").onclick = () => install("/api/verify");
$("setcolour").onclick = () => send("/api/colour", {colour: $("colour").value});
$("flash").onclick = () => send("/api/default", {});
colours.forEach(c => $("colour").add(new Option(c, c)));
(async () => {
  token = (await (await fetch("/api/session")).json()).token;
  const cut = sessionStorage.getItem("upload");
  sessionStorage.removeItem("upload");
  show("");
  const images = await refresh();
  if (cut) {
    const whole = images.some(i => i.file === cut);
    said({message: "the upload of " + cut + " stopped when the page was left: " +
      (whole ? "it had arrived whole" : "the server kept nothing of it; upload it again"), kind: whole ? "done" : "refused"});
  }
  follow(Boolean(cut));
})();
</script></body></html>
)PAGE";
