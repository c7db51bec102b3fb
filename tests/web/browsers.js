'use strict';
// The browsers the page is tried in, started headless through puppeteer-core: Chromium over
// the DevTools protocol, Firefox over WebDriver BiDi. Each starts with a new profile of its
// own and with its background traffic turned off: the network here is closed, and a browser
// that keeps trying to reach it stalls.
//   launchBrowser('chromium' | 'firefox') resolves with { browser, close }.
// CHROMIUM and FIREFOX name other executables than Debian's.

const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const puppeteer = require('puppeteer-core');

const BROWSERS = ['chromium', 'firefox'];

const CHROMIUM_ARGS = [
  // Chromium refuses to run as root inside its own sandbox.
  ...(process.getuid?.() === 0 ? ['--no-sandbox'] : []),
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];

// Beside those that puppeteer sets for every Firefox it starts.
const FIREFOX_PREFS = {
  'network.captive-portal-service.enabled': false,
  'network.connectivity-service.enabled': false,
  'network.dns.disablePrefetch': true,
  'network.prefetch-next': false,
  'network.trr.mode': 5,
  'toolkit.telemetry.enabled': false,
  'toolkit.telemetry.server': '',
  'browser.region.network.url': '',
  'browser.region.update.enabled': false,
  'browser.safebrowsing.provider.mozilla.updateURL': '',
  'browser.topsites.contile.enabled': false,
  'extensions.blocklist.enabled': false,
  'app.update.enabled': false,
};

async function launchBrowser(name) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), `tervane-${name}-`));
  let browser;
  if (name === 'chromium') {
    browser = await puppeteer.launch({
      executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
      headless: true,
      protocolTimeout: 60000,
      args: [...CHROMIUM_ARGS, `--user-data-dir=${profile}`],
    });
  } else if (name === 'firefox') {
    browser = await puppeteer.launch({
      browser: 'firefox',
      executablePath: process.env.FIREFOX ?? '/usr/bin/firefox-esr',
      headless: true,
      protocolTimeout: 60000,
      args: ['--profile', profile],
      extraPrefsFirefox: FIREFOX_PREFS,
    });
  } else {
    throw new Error(`no browser named ${name}: ${BROWSERS.join(' or ')}`);
  }
  return {
    browser,
    async close() {
      await browser.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

module.exports = { BROWSERS, launchBrowser };
