// tests/browser/lib/axe.mjs: a page audited by axe-core at WCAG 2.1 AA, at desktop and at phone width.
import AxeBuilder from '@axe-core/playwright';
import { screenshot } from './dashboard.mjs';

const WCAG_21_AA = ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'];
export const PHONE = { width: 390, height: 844 };

// The audit's findings on the page as it is now, one line each, with the first few elements they name.
export async function violations(page, name) {
  const { violations: found } = await new AxeBuilder({ page }).withTags(WCAG_21_AA).analyze();
  return found.map((v) => `${name}: ${v.id} (${v.impact}) ${v.help}: ${v.nodes.slice(0, 3).map((n) => n.target.join(' ')).join(' | ')}`);
}

// Audits the page at desktop and at phone width, and keeps the phone's picture.
export async function auditBothWidths(page, name) {
  const found = await violations(page, name);
  const desktop = page.viewportSize();
  await page.setViewportSize(PHONE);
  found.push(...await violations(page, `${name} (phone)`));
  await screenshot(page, `a11y-${name}-phone`);
  await page.setViewportSize(desktop);
  return found;
}
