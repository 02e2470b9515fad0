// The drawing viewer of `zumen serve`: opens a drawing, shows it as a PNG that
// the service draws at the size of the window (and larger once zoomed in), lists
// its layers and texts, and downloads it in other types. Everything goes
// through the service's own API (/v1/convert, /v1/info, /v1/text).
"use strict";

(() => {
  const $ = (id) => document.getElementById(id);
  const view = $("view"), stage = $("stage"), picture = $("picture"), marks = $("marks");
  const search = $("search"), found = $("found"), results = $("results");

  // Pictures larger than this are not asked for: past it a zoom enlarges the
  // picture it has (the service draws whole pictures, not parts).
  const MAX_PIXELS = 24e6, MAX_SIDE = 8192;
  const MIN_ZOOM = 0.2, MAX_ZOOM = 64;

  let drawing = null;   // {bytes, name, info, texts}
  let layers = null;    // null: the drawing's own choice; else a Set of layer numbers shown
  let base = {w: 0, h: 0};       // the stage's size at zoom 1 (the window's size when fitted)
  let z = 1, tx = 0, ty = 0;     // the stage's transform in the view
  let shown = null;     // the picture shown: {url, width, height, window, scale}
  let matches = [], current = -1;
  let generation = 0, renderAbort = null, sharpenTimer = 0;

  // ------------------------------------------------------------ status

  let statusTimer = 0;
  function status(text, error = false) {
    const s = $("status");
    s.textContent = text;
    s.classList.toggle("error", error);
    s.classList.add("shown");
    clearTimeout(statusTimer);
    statusTimer = setTimeout(() => s.classList.remove("shown"), error ? 8000 : 2500);
  }

  function busy(on) {
    $("busy").hidden = !on;
    view.dataset.state = on ? "busy" : (shown ? "ready" : "empty");
  }

  // ------------------------------------------------------------ requests

  function layersParam() {
    if (!layers) return null;
    // Runs of numbers as ranges: "0-15,32".
    const n = [...layers].sort((a, b) => a - b), parts = [];
    for (let i = 0; i < n.length;) {
      let j = i;
      while (j + 1 < n.length && n[j + 1] === n[j] + 1) j++;
      parts.push(j > i ? `${n[i]}-${n[j]}` : `${n[i]}`);
      i = j + 1;
    }
    return parts.join(",");
  }

  function query(params) {
    const q = new URLSearchParams();
    q.set("name", drawing.name);
    for (const [k, v] of Object.entries(params)) if (v !== null && v !== undefined) q.set(k, v);
    const l = layersParam();
    if (l !== null) q.set("layers", l);
    return q.toString();
  }

  async function post(endpoint, params, signal) {
    const r = await fetch(`/v1/${endpoint}?${query(params)}`, {
      method: "POST", body: drawing.bytes, signal,
      headers: {"Content-Type": "application/octet-stream"},
    });
    if (!r.ok) {
      let message = `${r.status} ${r.statusText}`;
      try {
        const e = await r.json();
        message = e.message || message;
      } catch (_) { /* not JSON */ }
      const error = new Error(message);
      error.status = r.status;
      throw error;
    }
    return r;
  }

  // ------------------------------------------------------------ opening

  async function open(file) {
    if (!file) return;
    const bytes = await file.arrayBuffer();
    drawing = {bytes, name: file.name, info: null, texts: []};
    layers = null;
    matches = [];
    current = -1;
    $("title").textContent = file.name;
    $("hint").hidden = true;
    document.title = `${file.name} - zumen viewer`;
    fit(false);
    const mine = ++generation;
    // The picture first, so that it appears at once; the description and the
    // texts alongside.
    const pictureDone = render(true);
    try {
      const info = await (await post("info", {})).json();
      if (mine !== generation) return;
      drawing.info = info;
      showInfo(info);
      showLayers(info.layers || []);
    } catch (e) {
      if (mine !== generation) return;
      // Not a drawing the service reads: back to the empty page, with why.
      if (renderAbort) renderAbort.abort();
      await pictureDone;
      if (shown) URL.revokeObjectURL(shown.url);
      drawing = null;
      shown = null;
      picture.removeAttribute("src");
      marks.innerHTML = "";
      for (const id of ["layers", "info", "warnings"]) $(id).innerHTML = "";
      for (const b of document.querySelectorAll("[data-format]")) b.disabled = true;
      search.disabled = true;
      $("title").textContent = "";
      $("hint").hidden = false;
      document.title = "zumen viewer";
      busy(false);
      status(`${file.name}: ${e.message}`, true);
      return;
    }
    await pictureDone;
    loadTexts();
    for (const b of document.querySelectorAll("[data-format]")) b.disabled = false;
    search.disabled = false;
  }

  // ------------------------------------------------------------ pictures

  function viewSize() {
    const r = view.getBoundingClientRect();
    return {w: Math.max(1, Math.round(r.width)), h: Math.max(1, Math.round(r.height))};
  }

  // The pixel size to ask for at the zoom now: the stage's size on the
  // screen, in device pixels, within the limits.
  function wantedSize() {
    const dpr = window.devicePixelRatio || 1;
    let w = base.w * z * dpr, h = base.h * z * dpr;
    const k = Math.min(1, MAX_SIDE / Math.max(w, h), Math.sqrt(MAX_PIXELS / (w * h)));
    w = Math.max(1, Math.round(w * k));
    h = Math.max(1, Math.round(h * k));
    return {w, h};
  }

  async function render(fitted) {
    if (!drawing) return;
    if (renderAbort) renderAbort.abort();
    const abort = new AbortController();
    renderAbort = abort;
    const size = wantedSize();
    busy(true);
    try {
      const r = await post("convert", {format: "png", size: `${size.w}x${size.h}`}, abort.signal);
      const window4 = (r.headers.get("X-Zumen-Window") || "0,0,0,0").split(",").map(Number);
      const next = {
        width: Number(r.headers.get("X-Zumen-Width")) || size.w,
        height: Number(r.headers.get("X-Zumen-Height")) || size.h,
        window: {min_x: window4[0], min_y: window4[1], max_x: window4[2], max_y: window4[3]},
        scale: Number(r.headers.get("X-Zumen-Scale")) || 0,
        warnings: r.headers.get("X-Zumen-Warnings") || "",
        url: URL.createObjectURL(await r.blob()),
      };
      const img = new Image();
      img.src = next.url;
      await img.decode();
      if (abort.signal.aborted) {
        URL.revokeObjectURL(next.url);
        return;
      }
      const old = shown;
      shown = next;
      picture.src = next.url;
      picture.dataset.width = next.width;
      picture.dataset.height = next.height;
      if (old) URL.revokeObjectURL(old.url);
      showRenderWarnings(next.warnings);
      placeMarks();
    } catch (e) {
      if (e.name !== "AbortError") status(e.message, true);
    } finally {
      if (renderAbort === abort) {
        renderAbort = null;
        busy(false);
      }
    }
  }

  // A sharper picture once the zoom has settled, when the one shown is
  // visibly coarser than the screen.
  function sharpenSoon() {
    clearTimeout(sharpenTimer);
    sharpenTimer = setTimeout(() => {
      if (!shown) return;
      const want = wantedSize();
      if (want.w > shown.width * 1.15 || (z <= 1 && want.w < shown.width * 0.5)) render(false);
    }, 300);
  }

  // ------------------------------------------------------------ pan and zoom

  function apply() {
    stage.style.transform = `translate(${tx}px, ${ty}px) scale(${z})`;
    stage.style.setProperty("--z", z);
  }

  // The stage takes the window's size at zoom 1; the service fits the paper
  // into a picture of that size.
  function fit(rerender = true) {
    const s = viewSize();
    const resized = s.w !== base.w || s.h !== base.h;
    base = s;
    stage.style.width = `${s.w}px`;
    stage.style.height = `${s.h}px`;
    z = 1;
    tx = 0;
    ty = 0;
    apply();
    if (rerender && drawing && (resized || !shown || shown.width > wantedSize().w * 1.15)) render(true);
    else placeMarks();
  }

  function zoomAt(px, py, factor) {
    const nz = Math.min(MAX_ZOOM, Math.max(MIN_ZOOM, z * factor));
    const sx = (px - tx) / z, sy = (py - ty) / z;
    z = nz;
    tx = px - z * sx;
    ty = py - z * sy;
    apply();
    sharpenSoon();
  }

  function panBy(dx, dy) {
    tx += dx;
    ty += dy;
    apply();
  }

  function viewPoint(e) {
    const r = view.getBoundingClientRect();
    return {x: e.clientX - r.left, y: e.clientY - r.top};
  }

  view.addEventListener("wheel", (e) => {
    if (!drawing) return;
    e.preventDefault();
    const p = viewPoint(e);
    const lines = e.deltaMode === 1 ? 16 : e.deltaMode === 2 ? 400 : 1;
    zoomAt(p.x, p.y, Math.exp(-e.deltaY * lines * 0.0015));
  }, {passive: false});

  // One pointer pans; two pinch (zoom about their middle, and pan with it).
  const pointers = new Map();
  let pinch = null;
  view.addEventListener("pointerdown", (e) => {
    if (!drawing) return;
    view.setPointerCapture(e.pointerId);
    pointers.set(e.pointerId, viewPoint(e));
    view.classList.add("dragging");
    if (pointers.size === 2) {
      const [a, b] = [...pointers.values()];
      pinch = {d: Math.hypot(a.x - b.x, a.y - b.y) || 1, mx: (a.x + b.x) / 2, my: (a.y + b.y) / 2};
    }
  });
  view.addEventListener("pointermove", (e) => {
    if (!pointers.has(e.pointerId)) return;
    const before = pointers.get(e.pointerId), now = viewPoint(e);
    pointers.set(e.pointerId, now);
    if (pointers.size === 1) {
      panBy(now.x - before.x, now.y - before.y);
    } else if (pointers.size === 2 && pinch) {
      const [a, b] = [...pointers.values()];
      const d = Math.hypot(a.x - b.x, a.y - b.y) || 1, mx = (a.x + b.x) / 2, my = (a.y + b.y) / 2;
      panBy(mx - pinch.mx, my - pinch.my);
      zoomAt(mx, my, d / pinch.d);
      pinch = {d, mx, my};
    }
  });
  const release = (e) => {
    pointers.delete(e.pointerId);
    if (pointers.size < 2) pinch = null;
    if (pointers.size === 0) view.classList.remove("dragging");
  };
  view.addEventListener("pointerup", release);
  view.addEventListener("pointercancel", release);
  view.addEventListener("dblclick", (e) => {
    if (!drawing) return;
    const p = viewPoint(e);
    zoomAt(p.x, p.y, e.shiftKey ? 0.5 : 2);
  });

  document.addEventListener("keydown", (e) => {
    if (!drawing || e.target === search || e.ctrlKey || e.metaKey || e.altKey) return;
    const s = viewSize(), step = 60;
    const keys = {
      "+": () => zoomAt(s.w / 2, s.h / 2, 1.25), "=": () => zoomAt(s.w / 2, s.h / 2, 1.25),
      "-": () => zoomAt(s.w / 2, s.h / 2, 0.8), "_": () => zoomAt(s.w / 2, s.h / 2, 0.8),
      "0": () => fit(), "f": () => fit(),
      "ArrowLeft": () => panBy(step, 0), "ArrowRight": () => panBy(-step, 0),
      "ArrowUp": () => panBy(0, step), "ArrowDown": () => panBy(0, -step),
      "n": () => select(current + 1), "p": () => select(current - 1),
    };
    if (keys[e.key]) {
      e.preventDefault();
      keys[e.key]();
    }
  });
  $("zoom-in").addEventListener("click", () => { const s = viewSize(); zoomAt(s.w / 2, s.h / 2, 1.5); });
  $("zoom-out").addEventListener("click", () => { const s = viewSize(); zoomAt(s.w / 2, s.h / 2, 1 / 1.5); });
  $("zoom-fit").addEventListener("click", () => fit());

  let resizeTimer = 0;
  window.addEventListener("resize", () => {
    clearTimeout(resizeTimer);
    resizeTimer = setTimeout(() => { if (drawing) fit(); }, 250);
  });

  // ------------------------------------------------------------ opening by choice or drop

  $("file").addEventListener("change", (e) => open(e.target.files[0]));
  for (const type of ["dragenter", "dragover"]) {
    document.addEventListener(type, (e) => {
      e.preventDefault();
      view.classList.add("dropping");
    });
  }
  document.addEventListener("dragleave", (e) => {
    if (e.relatedTarget === null) view.classList.remove("dropping");
  });
  document.addEventListener("drop", (e) => {
    e.preventDefault();
    view.classList.remove("dropping");
    if (e.dataTransfer.files.length) open(e.dataTransfer.files[0]);
  });

  // ------------------------------------------------------------ layers

  function el(tag, props = {}, ...children) {
    const e = document.createElement(tag);
    for (const [k, v] of Object.entries(props)) {
      if (k === "dataset") Object.assign(e.dataset, v);
      else if (k in e) e[k] = v;
      else e.setAttribute(k, v);
    }
    for (const c of children) e.append(c);
    return e;
  }

  function showLayers(list) {
    const box = $("layers");
    box.innerHTML = "";
    if (!list.length) {
      box.append(el("p", {className: "note"}, "This drawing's layers are not listed by the service."));
      return;
    }
    // Every layer that the drawing shows to begin with.
    const initial = new Set(list.filter((l) => l.state !== "hidden").map((l) => l.number));
    const checked = new Set(initial);
    const changed = () => {
      layers = new Set(checked);
      for (const g of box.querySelectorAll(".group")) syncGroup(g);
      render(false);
      loadTexts();
    };
    const syncGroup = (g) => {
      const boxes = [...g.querySelectorAll("ul input")];
      const on = boxes.filter((b) => b.checked).length;
      const head = g.querySelector(":scope > label input");
      head.checked = on === boxes.length;
      head.indeterminate = on > 0 && on < boxes.length;
    };
    for (let group = 0; group < 16; group++) {
      const members = list.filter((l) => l.group === group && (l.items > 0 || l.name));
      if (!members.length) continue;
      const groupName = members.find((l) => l.group_name)?.group_name || "";
      const ul = el("ul");
      for (const l of members) {
        const input = el("input", {type: "checkbox", checked: checked.has(l.number), dataset: {layer: l.number}});
        input.addEventListener("change", () => {
          if (input.checked) checked.add(l.number); else checked.delete(l.number);
          changed();
        });
        const label = el("label", {className: l.state === "display-only" ? "grey" : ""}, input,
          el("span", {}, `${(l.number % 16).toString(16).toUpperCase()} ${l.name || ""}`),
          el("span", {className: "count"}, String(l.items)));
        ul.append(el("li", {}, label));
      }
      const head = el("input", {type: "checkbox", dataset: {group}});
      head.addEventListener("change", () => {
        for (const b of ul.querySelectorAll("input")) {
          b.checked = head.checked;
          const n = Number(b.dataset.layer);
          if (head.checked) checked.add(n); else checked.delete(n);
        }
        changed();
      });
      const g = el("div", {className: "group"},
        el("label", {}, head, el("span", {}, `Group ${group.toString(16).toUpperCase()} ${groupName}`)), ul);
      box.append(g);
      syncGroup(g);
    }
    if (!box.children.length) box.append(el("p", {className: "note"}, "No layer holds anything."));
  }

  // ------------------------------------------------------------ details

  function showInfo(info) {
    const dl = $("info");
    dl.innerHTML = "";
    const row = (k, v) => {
      if (v === null || v === undefined || v === "") return;
      dl.append(el("dt", {}, k), el("dd", {}, String(v)));
    };
    const mm = (v) => `${Math.round(v * 10) / 10} mm`;
    row("Format", info.version ? `${info.format} (version ${info.version})` : info.format);
    row("Title", info.title);
    if (info.paper) {
      row("Paper", `${info.paper.code !== null ? `code ${info.paper.code}, ` : ""}${mm(info.paper.width_mm)} x ${mm(info.paper.height_mm)}`);
    }
    if (info.scale !== null && info.scale !== undefined) row("Scale", info.scale);
    if (info.objects) row("Objects", info.objects.announced >= 0 ? `${info.objects.read} of ${info.objects.announced}` : info.objects.read);
    for (const [kind, n] of Object.entries(info.entities || {})) if (n) row(kind, n);
    if (info.blocks && info.blocks.definitions) row("Blocks", `${info.blocks.definitions} defined, ${info.blocks.instances} placed`);
    if (info.images) row("Images", info.images);
    if (info.extents) {
      const e = info.extents, r = (v) => Math.round(v * 100) / 100;
      row("Extents", `${r(e.min_x)}, ${r(e.min_y)} to ${r(e.max_x)}, ${r(e.max_y)}`);
    }
    row("Read", info.read_ok ? "whole" : `in part${info.error ? `: ${info.error}` : ""}`);
    const ul = $("warnings");
    ul.innerHTML = "";
    for (const w of info.warnings || []) ul.append(el("li", {dataset: {code: w.code}}, `${w.code} (${w.count}): ${w.message}`));
  }

  function showRenderWarnings(header) {
    const ul = $("warnings");
    for (const li of ul.querySelectorAll("li.drawn")) li.remove();
    for (const part of header.split(",").map((s) => s.trim()).filter(Boolean)) {
      const [code, count] = part.split("=");
      if (ul.querySelector(`li[data-code="${CSS.escape(code)}"]`)) continue;
      ul.append(el("li", {className: "drawn", dataset: {code}}, `${code} (${count}) while drawing`));
    }
  }

  // ------------------------------------------------------------ search

  const normal = (s) => s.normalize("NFKC").toLowerCase();

  async function loadTexts() {
    if (!drawing) return;
    const mine = drawing;
    try {
      const texts = await (await post("text", {})).json();
      if (mine !== drawing) return;
      drawing.texts = texts.map((t) => ({...t, key: normal(t.text)}));
      find();
    } catch (e) {
      status(`texts: ${e.message}`, true);
    }
  }

  function find() {
    const q = normal(search.value.trim());
    matches = q && drawing ? drawing.texts.filter((t) => t.key.includes(q)) : [];
    current = matches.length ? 0 : -1;
    found.textContent = q ? `${matches.length} found` : "";
    results.innerHTML = "";
    $("results-section").hidden = !q;
    matches.slice(0, 500).forEach((t, i) => {
      const li = el("li", {dataset: {index: i}}, t.text);
      li.addEventListener("click", () => select(i));
      results.append(li);
    });
    placeMarks();
    if (matches.length) select(0);
  }

  let findTimer = 0;
  search.addEventListener("input", () => {
    clearTimeout(findTimer);
    findTimer = setTimeout(find, 150);
  });
  search.addEventListener("keydown", (e) => {
    if (e.key === "Enter") {
      e.preventDefault();
      clearTimeout(findTimer);
      if (normal(search.value.trim()) && matches.length) select(current + 1);
      else find();
    }
  });

  // Drawing units to the stage's CSS pixels, through where the service said
  // the drawing lies in the picture: column (x - min_x) * scale, row
  // (max_y - y) * scale, and the picture stretched over the stage.
  function toStage(x, y) {
    const k = base.w / shown.width;
    return {x: (x - shown.window.min_x) * shown.scale * k, y: (shown.window.max_y - y) * shown.scale * k};
  }

  function placeMarks() {
    marks.innerHTML = "";
    if (!shown || !shown.scale) return;
    matches.forEach((t, i) => {
      const a = toStage(t.box.min_x, t.box.max_y), b = toStage(t.box.max_x, t.box.min_y);
      const pad = 2 / z;
      marks.append(el("div", {
        className: i === current ? "mark current" : "mark",
        style: `left:${a.x - pad}px;top:${a.y - pad}px;width:${b.x - a.x + 2 * pad}px;height:${b.y - a.y + 2 * pad}px`,
      }));
    });
  }

  // Brings a found text into the middle of the view, zoomed in enough to read.
  function select(i) {
    if (!matches.length || !shown) return;
    current = (i + matches.length) % matches.length;
    for (const li of results.children) li.classList.toggle("current", Number(li.dataset.index) === current);
    results.children[current]?.scrollIntoView({block: "nearest"});
    placeMarks();
    const t = matches[current];
    const a = toStage(t.box.min_x, t.box.max_y), b = toStage(t.box.max_x, t.box.min_y);
    const s = viewSize();
    const wanted = Math.min(s.w / 3 / Math.max(1, b.x - a.x), s.h / 6 / Math.max(1, b.y - a.y));
    z = Math.min(MAX_ZOOM, Math.max(z, Math.min(wanted, 8)));
    tx = s.w / 2 - z * (a.x + b.x) / 2;
    ty = s.h / 2 - z * (a.y + b.y) / 2;
    apply();
    sharpenSoon();
  }

  // ------------------------------------------------------------ downloads

  const DOWNLOADS = {png: {format: "png"}, pdf: {format: "pdf"}, svg: {format: "svg"}, dxf: {format: "dxf"}};
  for (const b of document.querySelectorAll("[data-format]")) {
    b.addEventListener("click", async () => {
      if (!drawing) return;
      const type = b.dataset.format;
      b.disabled = true;
      status(`Making ${type.toUpperCase()}…`);
      try {
        const r = await post("convert", DOWNLOADS[type]);
        const blob = await r.blob();
        const disposition = r.headers.get("Content-Disposition") || "";
        const m = /filename\*=UTF-8''([^;]+)/.exec(disposition) || /filename="([^"]+)"/.exec(disposition);
        const name = m ? decodeURIComponent(m[1]) : `drawing.${type}`;
        const url = URL.createObjectURL(blob);
        const a = el("a", {href: url, download: name});
        document.body.append(a);
        a.click();
        a.remove();
        setTimeout(() => URL.revokeObjectURL(url), 60000);
        status(`${name} (${Math.round(blob.size / 1024)} KiB)`);
      } catch (e) {
        status(`${type.toUpperCase()}: ${e.message}`, true);
      } finally {
        b.disabled = false;
      }
    });
  }

  // ------------------------------------------------------------ panel on small screens

  $("panel-toggle").addEventListener("click", () => {
    const open = $("panel").classList.toggle("open");
    $("panel-toggle").setAttribute("aria-expanded", String(open));
  });

  busy(false);
})();
