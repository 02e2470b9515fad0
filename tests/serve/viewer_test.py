"""The viewer of `zumen serve` in Debian's headless Chromium, driven by Selenium.

Skips when chromium, chromium-driver or python3-selenium is missing, and
without the corpus. ZUMEN_VIEWER_SCREENSHOTS=folder keeps the screenshots.
"""

import base64
import io
import os
import shutil
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET
from pathlib import Path

from serve_support import Server, corpus

try:
    from PIL import Image
    from selenium import webdriver
    from selenium.common.exceptions import TimeoutException
    from selenium.webdriver.chrome.service import Service as ChromeService
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.actions.wheel_input import ScrollOrigin
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:  # pragma: no cover - told by the skip below
    webdriver = None

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
DRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"
DRAWING = "jww/Test2.jww"


def ink(png, region=None):
    """Pixels of a screenshot that are drawn ink: neither the view's grey,
    nor the paper's white, nor near them."""
    img = Image.open(io.BytesIO(png)).convert("RGB")
    if region:
        img = img.crop(region)
    count = 0
    for r, g, b in img.getdata():
        if min(r, g, b) < 150 or max(r, g, b) - min(r, g, b) > 60:
            count += 1
    return count


@unittest.skipIf(webdriver is None or not os.path.exists(CHROMIUM) or not os.path.exists(DRIVER),
                 "chromium, chromium-driver or python3-selenium is not installed")
class Viewer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Server("--jobs", "2")
        cls.work = tempfile.TemporaryDirectory(prefix="zumen-viewer-test-")
        cls.downloads = Path(cls.work.name) / "downloads"
        cls.downloads.mkdir()
        shots = os.environ.get("ZUMEN_VIEWER_SCREENSHOTS")
        cls.shots = Path(shots) if shots else Path(cls.work.name) / "shots"
        cls.shots.mkdir(parents=True, exist_ok=True)
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        # A browser that reaches nothing but the service (the machine's
        # closed network refuses its background connections).
        for a in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--disable-dev-shm-usage", f"--user-data-dir={cls.work.name}/profile", "--window-size=1280,860",
                  "--lang=en-US"]:
            options.add_argument(a)
        options.add_experimental_option("prefs", {"download.default_directory": str(cls.downloads),
                                                  "download.prompt_for_download": False})
        try:
            cls.driver = webdriver.Chrome(service=ChromeService(DRIVER), options=options)
        except Exception:
            cls.server.close()
            cls.work.cleanup()
            raise
        cls.driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": str(cls.downloads)})

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.close()
        cls.work.cleanup()

    def wait(self, condition, seconds=60, message=""):
        try:
            return WebDriverWait(self.driver, seconds, poll_frequency=0.1).until(lambda d: condition())
        except TimeoutException:
            self.driver.save_screenshot(str(self.shots / "timeout.png"))
            shown = self.js("return document.getElementById('status').textContent")
            self.fail(f"timed out: {message}; the page says: {shown}")

    def js(self, code, *args):
        return self.driver.execute_script(code, *args)

    def picture_src(self):
        return self.js("return document.getElementById('picture').getAttribute('src')")

    def ready(self):
        return self.js("const v = document.getElementById('view'), p = document.getElementById('picture');"
                       "return v.dataset.state === 'ready' && p.complete && p.naturalWidth > 0")

    def view_shot(self, name):
        png = self.driver.find_element(By.ID, "view").screenshot_as_png
        (self.shots / f"{name}.png").write_bytes(png)
        return png

    def open_drawing(self, path):
        before = self.picture_src()
        self.driver.find_element(By.ID, "file").send_keys(str(path))
        self.wait(lambda: self.ready() and self.picture_src() != before, message="the drawing to appear")

    def test_open_layers_search_and_downloads(self):
        src = corpus(DRAWING)
        if src is None:
            self.skipTest("the corpus is not here")
        d = self.driver
        d.set_window_size(1280, 860)
        d.get(f"http://127.0.0.1:{self.server.port}/")
        empty = ink(self.view_shot("0-empty"))
        self.open_drawing(src)
        # The drawing appears, fitted to the view.
        shot = self.view_shot("1-opened")
        drawn = ink(shot)
        self.assertGreater(drawn, 2000, "no ink on the screen")
        self.assertGreater(drawn, 5 * max(empty, 1))  # the hint text alone is the empty page's ink
        width, height = self.js("const p = document.getElementById('picture');"
                                "return [p.naturalWidth, p.naturalHeight]")
        view = d.find_element(By.ID, "view").size
        self.assertAlmostEqual(width / height, view["width"] / view["height"], delta=0.02)
        info = self.js("return document.getElementById('info').textContent")
        self.assertIn("JWW", info)

        with self.subTest("zoom in: a larger picture"):
            self.js("document.getElementById('zoom-in').click()")
            self.wait(lambda: self.ready() and self.js(
                "return Number(document.getElementById('picture').dataset.width)") > width * 1.3,
                message="a sharper picture after zooming")
            self.view_shot("2-zoomed")
            self.js("document.getElementById('zoom-fit').click()")

        with self.subTest("unchecking a layer removes its lines"):
            boxes = d.find_elements(By.CSS_SELECTOR, "#layers ul input[type=checkbox]")
            if not boxes:
                self.skipTest("the library does not list layers yet (Drawing::Layers)")
            counts = self.js("return [...document.querySelectorAll('#layers ul li')].map("
                             "li => Number(li.querySelector('.count').textContent))")
            busiest = boxes[counts.index(max(counts))]
            before = self.picture_src()
            self.wait(lambda: self.ready(), message="the fitted picture")
            fitted = ink(self.view_shot("3-before-layer"))
            busiest.click()
            self.wait(lambda: self.ready() and self.picture_src() != before, message="the picture without the layer")
            self.assertLess(ink(self.view_shot("4-layer-off")), fitted * 0.97)
            busiest.click()
            self.wait(lambda: self.ready(), message="the layer back")

        with self.subTest("search finds a known text and marks it"):
            texts = self.server.post("text", src.read_bytes(), name=src.name).json()
            words = [t["text"].strip() for t in texts if len(t["text"].strip()) >= 2]
            if not words:
                self.skipTest("the library lists no texts yet (Drawing::Texts)")
            word = words[0]
            box = d.find_element(By.ID, "search")
            box.clear()
            box.send_keys(word)
            self.wait(lambda: "found" in d.find_element(By.ID, "found").text, message="search results")
            self.assertNotEqual(d.find_element(By.ID, "found").text, "0 found")
            marks = d.find_elements(By.CSS_SELECTOR, "#marks .mark")
            self.assertGreaterEqual(len(marks), 1)
            # The current mark is in the view, where the text is drawn.
            r = self.js("const m = document.querySelector('.mark.current').getBoundingClientRect(),"
                        " v = document.getElementById('view').getBoundingClientRect();"
                        "return [m.left - v.left, m.top - v.top, m.width, m.height, v.width, v.height]")
            self.assertTrue(0 <= r[0] <= r[4] and 0 <= r[1] <= r[5] and r[2] > 0 and r[3] > 0, r)
            self.view_shot("5-search")

        with self.subTest("downloads"):
            for fmt in ("png", "pdf", "svg", "dxf"):
                d.find_element(By.CSS_SELECTOR, f"button[data-format={fmt}]").click()
                target = self.downloads / f"{src.stem}.{fmt}"
                self.wait(lambda: target.is_file() and target.stat().st_size > 0
                          and not list(self.downloads.glob("*.crdownload")), message=f"the {fmt} download")
                data = target.read_bytes()
                if fmt == "png":
                    img = Image.open(io.BytesIO(data))
                    img.load()
                    self.assertGreater(img.width, 100)
                elif fmt == "pdf":
                    self.assertTrue(data.startswith(b"%PDF-") and b"%%EOF" in data[-32:])
                elif fmt == "svg":
                    self.assertTrue(ET.fromstring(data).tag.endswith("svg"))
                else:
                    self.assertTrue(data.lstrip().startswith(b"0") and b"EOF" in data[-16:], data[:32])

    def test_drop_pan_wheel_and_a_japanese_name(self):
        src = corpus("jws/600(内手すり無).jws")
        if src is None:
            self.skipTest("the corpus is not here")
        d = self.driver
        d.set_window_size(1280, 860)
        d.get(f"http://127.0.0.1:{self.server.port}/")
        # Dropped on the page, as from a file manager.
        self.js("""
            const bytes = Uint8Array.from(atob(arguments[0]), (c) => c.charCodeAt(0));
            const dt = new DataTransfer();
            dt.items.add(new File([bytes], arguments[1]));
            for (const type of ['dragenter', 'dragover', 'drop'])
              document.getElementById('view').dispatchEvent(
                new DragEvent(type, {dataTransfer: dt, bubbles: true, cancelable: true}));
        """, base64.b64encode(src.read_bytes()).decode(), src.name)
        self.wait(self.ready, message="the dropped drawing")
        self.assertEqual(d.find_element(By.ID, "title").text, src.name)
        self.assertGreater(ink(self.view_shot("8-dropped")), 500)
        view = d.find_element(By.ID, "view")
        transform = lambda: self.js("return document.getElementById('stage').style.transform")
        # A drag pans by what the pointer moved.
        ActionChains(d).move_to_element(view).click_and_hold().move_by_offset(120, 60).release().perform()
        self.assertEqual(transform(), "translate(120px, 60px) scale(1)")
        # The wheel zooms in about the pointer, and a sharper picture follows.
        width = int(self.js("return document.getElementById('picture').dataset.width"))
        ActionChains(d).scroll_from_origin(ScrollOrigin.from_element(view), 0, -400).perform()
        scale = float(transform().split("scale(")[1].rstrip(")"))
        self.assertGreater(scale, 1.5)
        self.wait(lambda: self.ready() and int(self.js(
            "return document.getElementById('picture').dataset.width")) > width * 1.3, message="a sharper picture")
        self.view_shot("9-wheel")
        # A download keeps the drawing's name, Japanese and all.
        d.find_element(By.CSS_SELECTOR, "button[data-format=png]").click()
        target = self.downloads / (src.stem + ".png")
        self.wait(lambda: target.is_file() and not list(self.downloads.glob("*.crdownload")), message="the download")
        self.assertEqual(target.read_bytes()[:8], b"\x89PNG\r\n\x1a\n")

    def test_a_file_that_is_no_drawing_is_told(self):
        d = self.driver
        d.set_window_size(1280, 860)
        d.get(f"http://127.0.0.1:{self.server.port}/")
        broken = Path(self.work.name) / "broken.jww"
        broken.write_bytes(b"this is not a drawing at all" * 10)
        d.find_element(By.ID, "file").send_keys(str(broken))
        self.wait(lambda: "not a JWW file" in d.find_element(By.ID, "status").get_attribute("textContent"),
                  message="the reason")
        self.assertIn("error", d.find_element(By.ID, "status").get_attribute("class"))
        self.assertTrue(d.find_element(By.ID, "hint").is_displayed())
        self.assertFalse(any(b.is_enabled() for b in d.find_elements(By.CSS_SELECTOR, "button[data-format]")))
        self.assertFalse(d.find_element(By.ID, "search").is_enabled())

    def test_a_phone_sized_window(self):
        src = corpus(DRAWING)
        if src is None:
            self.skipTest("the corpus is not here")
        d = self.driver
        d.set_window_size(390, 800)
        d.get(f"http://127.0.0.1:{self.server.port}/")
        self.open_drawing(src)
        self.assertGreater(ink(self.view_shot("6-phone")), 1000)
        # The panel is a slide-over that the menu button opens.
        toggle = d.find_element(By.ID, "panel-toggle")
        self.assertTrue(toggle.is_displayed())
        toggle.click()
        self.wait(lambda: self.js("const r = document.getElementById('panel').getBoundingClientRect();"
                                  "return r.right <= window.innerWidth + 1 && r.left >= 0"), message="the panel")
        d.save_screenshot(str(self.shots / "7-phone-panel.png"))
        # A pinch or wheel changes the zoom; the keys too.
        self.js("document.getElementById('view').focus()")
        before = self.js("return document.getElementById('stage').style.transform")
        self.driver.find_element(By.TAG_NAME, "body").send_keys("+")
        self.assertNotEqual(self.js("return document.getElementById('stage').style.transform"), before)


if __name__ == "__main__":
    unittest.main(verbosity=2)
