// The page of bspwalk --export page.html: draws the level inside it the way bspwalk draws it (each
// surface image times its lightmap, twice the product, bytes multiplied as they are) and flies
// through it as bspwalk does: W/S/A/D at 150 units a second, the mouse turning 0.3 degrees a pixel.
// Poses are bspwalk's: position in level units, then yaw about Z and pitch about X in degrees,
// pitch 270 looking level. With #size=WxH[&pose=X,Y,Z,YAW,PITCH] the page draws that pose at that
// size and window.bspwalkPicture resolves to the picture (a PNG data URL), for tests.
import * as THREE from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';

const info = JSON.parse(document.getElementById('bspwalk-info').textContent);
const hash = new URLSearchParams(location.hash.slice(1));
const fixedSize = hash.get('size')?.split('x').map(Number);
const speed = 150;             // level units per second, as the viewer moves
const degreesPerPixel = 0.3;   // the viewer's mouse look
const eyeHeight = 26;          // above a spawn point's origin, where the viewer starts
const pose = { x: 0, y: 0, z: 0, yaw: 0, pitch: 270 };

const radians = THREE.MathUtils.degToRad;
// The level's (x, y, z), Z up, in glTF's frame and metres, as the export converts it.
const gltfVector = (x, y, z) => new THREE.Vector3(x, z, -y);

// The viewer turns the world by pitch about X, then by yaw about Z: the eye looks along -Z of
// those turns undone.
function forward() {
  const sp = Math.sin(radians(pose.pitch)), cp = Math.cos(radians(pose.pitch));
  const sy = Math.sin(radians(pose.yaw)), cy = Math.cos(radians(pose.yaw));
  return { x: -sp * sy, y: -sp * cy, z: -cp };
}

function placeCamera(camera) {
  const undo = new THREE.Matrix4().makeRotationZ(radians(-pose.yaw))
    .multiply(new THREE.Matrix4().makeRotationX(radians(-pose.pitch)));
  const up = new THREE.Vector3(0, 1, 0).applyMatrix4(undo);
  const f = forward();
  camera.position.copy(gltfVector(pose.x, pose.y, pose.z).multiplyScalar(info.scale));
  camera.up.copy(gltfVector(up.x, up.y, up.z));
  camera.lookAt(camera.position.clone().add(gltfVector(f.x, f.y, f.z)));
}

// bspwalk's --camera value: numbers as printf's %g writes them.
const g = (v) => String(Number(v.toPrecision(6)));
const poseText = () => `--camera=${[pose.x, pose.y, pose.z, pose.yaw, pose.pitch].map(g).join(',')}`;
function setPose(text) {
  const values = text.trim().replace(/^--camera=/, '').split(',').map(Number);
  if (values.length !== 5 || !values.every(Number.isFinite)) return false;
  [pose.x, pose.y, pose.z, pose.yaw, pose.pitch] = values;
  return true;
}

// The viewer's pass: image x lightmap x 2. MeshBasicMaterial adds lightMap x intensity / pi.
// Faces lit by their vertices (--vertex-light) carry the brightened colours, drawn at twice the
// product as well; items carry the colours of their light, drawn times their image once.
async function viewerMaterial(source, parser) {
  if (source.userData.stages) return stagedMaterial(source, parser);
  const twice = source.vertexColors && source.userData.surface !== 'item';
  const material = new THREE.MeshBasicMaterial({
    map: source.map, alphaTest: source.alphaTest, transparent: source.transparent,
    depthWrite: source.depthWrite, side: source.side, vertexColors: source.vertexColors,
    color: twice ? source.color.clone().multiplyScalar(2) : source.color,
  });
  material.userData = source.userData;
  if (material.map) material.map.colorSpace = THREE.NoColorSpace;
  const lightmap = source.userData.lightmapTexture;
  if (lightmap) {
    material.lightMap = await parser.getDependency('texture', lightmap.index);
    material.lightMap.channel = lightmap.texCoord;
    material.lightMap.colorSpace = THREE.NoColorSpace;
    material.lightMapIntensity = 2 * Math.PI;
  }
  return material;
}

// A surface drawn by its shader's stages (extras "stages"): the viewer draws one pass a stage,
// each blended over the ones before; here one shader composes them, as the passes' blends would.
// Coordinates are the viewer's (s, t), t up the image, moved by the stage's matrix; tcGen
// environment mirrors the eye's direction in the normal, in the level's axes.
const blendTerms = {
  GL_ZERO: 'vec4(0.0)', GL_ONE: 'vec4(1.0)', GL_SRC_COLOR: 'src', GL_ONE_MINUS_SRC_COLOR: '(1.0 - src)',
  GL_SRC_ALPHA: 'vec4(src.a)', GL_ONE_MINUS_SRC_ALPHA: 'vec4(1.0 - src.a)', GL_DST_COLOR: 'dst',
  GL_ONE_MINUS_DST_COLOR: '(1.0 - dst)', GL_DST_ALPHA: 'vec4(dst.a)', GL_ONE_MINUS_DST_ALPHA: 'vec4(1.0 - dst.a)',
  GL_SRC_ALPHA_SATURATE: 'vec4(vec3(min(src.a, 1.0 - dst.a)), 1.0)',
};
const stagedVertex = (lightmapped) => `precision highp float;
uniform mat4 modelMatrix, viewMatrix, projectionMatrix;
uniform vec3 cameraPosition;
attribute vec3 position, normal;
attribute vec2 uv;
${lightmapped ? 'attribute vec2 uv1;' : ''}
varying vec2 vUv, vUv1, vEnv;
void main() {
  vec4 world = modelMatrix * vec4(position, 1.0);
  vec3 v = normalize(cameraPosition - world.xyz), n = normalize(mat3(modelMatrix) * normal);
  vec3 r = n * 2.0 * dot(n, v) - v;  // the level's y and z are glTF's -z and y
  vEnv = vec2(0.5 - 0.5 * r.z, 0.5 - 0.5 * r.y);
  vUv = uv;
  vUv1 = ${lightmapped ? 'uv1' : 'vec2(0.0)'};
  gl_Position = projectionMatrix * viewMatrix * world;
}`;

async function stagedMaterial(source, parser) {
  const uniforms = {};
  let declarations = '', body = '';
  for (const [k, stage] of source.userData.stages.entries()) {
    const index = stage.lightmap ? source.userData.lightmapTexture.index : stage.texture;
    const m = stage.matrix;
    uniforms[`m${k}`] = { value: new THREE.Matrix3().set(m[0], m[2], m[4], m[1], m[3], m[5], 0, 0, 1) };
    uniforms[`c${k}`] = { value: new THREE.Vector4(...stage.colour) };
    declarations += `uniform mat3 m${k};\nuniform vec4 c${k};\n`;
    let texel = 'vec4(1.0)';
    if (index !== undefined) {
      let texture = await parser.getDependency('texture', index);
      if (stage.clamp) {
        texture = texture.clone();
        texture.wrapS = texture.wrapT = THREE.ClampToEdgeWrapping;
      }
      texture.colorSpace = THREE.NoColorSpace;
      uniforms[`t${k}`] = { value: texture };
      declarations += `uniform sampler2D t${k};\n`;
      texel = `texture2D(t${k}, ${stage.lightmap ? 'vUv1' : `moved(m${k}, ${stage.environment ? 'vEnv' : 'vUv'})`})`;
    }
    body += `  src = ${texel} * c${k};\n`;
    const [from, to] = stage.blendFunc?.split(' ') ?? [];
    body += from ? `  dst = clamp(src * ${blendTerms[from]} + dst * ${blendTerms[to]}, 0.0, 1.0);\n` : '  dst = src;\n';
  }
  return new THREE.RawShaderMaterial({
    uniforms, side: source.side,
    vertexShader: stagedVertex(source.userData.lightmapTexture !== undefined),
    fragmentShader: `precision highp float;
varying vec2 vUv, vUv1, vEnv;
${declarations}
vec2 moved(mat3 m, vec2 uv) { vec3 st = m * vec3(uv.x, -uv.y, 1.0); return vec2(st.x, -st.y); }
void main() {
  vec4 src, dst = vec4(0.0);
${body}  gl_FragColor = vec4(dst.rgb, 1.0);
}`,
  });
}

// The sky's layers as the viewer blends them (the material's blendFunc, in GL's names).
const factors = {
  GL_ZERO: THREE.ZeroFactor, GL_ONE: THREE.OneFactor, GL_SRC_COLOR: THREE.SrcColorFactor,
  GL_ONE_MINUS_SRC_COLOR: THREE.OneMinusSrcColorFactor, GL_SRC_ALPHA: THREE.SrcAlphaFactor,
  GL_ONE_MINUS_SRC_ALPHA: THREE.OneMinusSrcAlphaFactor, GL_DST_ALPHA: THREE.DstAlphaFactor,
  GL_ONE_MINUS_DST_ALPHA: THREE.OneMinusDstAlphaFactor, GL_DST_COLOR: THREE.DstColorFactor,
  GL_ONE_MINUS_DST_COLOR: THREE.OneMinusDstColorFactor, GL_SRC_ALPHA_SATURATE: THREE.SrcAlphaSaturateFactor,
};

// The node "sky" drawn as the viewer draws its sky: around the eye, behind every surface (first,
// without depth), its box then its layers in order; scaled to lie well inside the far plane.
function takeSky(level) {
  const sky = level.getObjectByName('sky');
  if (!sky) return null;
  sky.removeFromParent();
  sky.position.set(0, 0, 0);
  const radius = new THREE.Box3().setFromObject(sky).getBoundingSphere(new THREE.Sphere()).radius;
  sky.scale.setScalar(radius > 0 ? (1000 * info.scale) / radius : 1);
  let order = -1000;
  sky.traverse((object) => {
    if (!object.isMesh) return;
    object.renderOrder = order++;
    object.frustumCulled = false;
    const m = object.material;
    m.depthTest = m.depthWrite = m.transparent = false;
    const blend = m.userData.blendFunc?.split(' ');
    if (blend) Object.assign(m, { blending: THREE.CustomBlending, blendSrc: factors[blend[0]], blendDst: factors[blend[1]] });
  });
  return sky;
}

async function loadLevel() {
  const text = document.getElementById('bspwalk-level').textContent.trim();
  const bytes = await (await fetch(`data:application/octet-stream;base64,${text}`)).arrayBuffer();
  const gltf = await new GLTFLoader().parseAsync(bytes, '');
  const meshes = [];
  gltf.scene.traverse((object) => { if (object.isMesh) meshes.push(object); });
  for (const mesh of meshes) mesh.material = await viewerMaterial(mesh.material, gltf.parser);
  const spawns = (gltf.parser.json.nodes ?? []).map((node) => node.extras).filter((e) => e?.origin);
  return { scene: gltf.scene, spawns, sky: takeSky(gltf.scene) };
}

function goToSpawn(spawn) {
  [pose.x, pose.y, pose.z] = [spawn.origin[0], spawn.origin[1], spawn.origin[2] + eyeHeight];
  pose.yaw = 90 - spawn.angle;
  pose.pitch = 270;
}

function fillPanel(spawns) {
  document.getElementById('name').textContent = info.name;
  document.getElementById('counts').textContent =
    `${info.faces} faces, ${info.triangles} triangles, ${info.materials} materials, ${info.images} images, ` +
    `${info.items ? `${info.items} items, ` : ''}${spawns.length} spawn points`;
  const list = document.getElementById('spawns');
  spawns.forEach((spawn, i) => list.add(new Option(`${i + 1}: ${spawn.classname} (${spawn.origin.map(g).join(' ')})`, i)));
  list.addEventListener('change', () => { goToSpawn(spawns[Number(list.value)]); list.blur(); });
}

const held = new Set();
function listen(canvas) {
  const line = document.getElementById('pose');
  addEventListener('keydown', (e) => { if (e.target !== line) held.add(e.code); });
  addEventListener('keyup', (e) => held.delete(e.code));
  addEventListener('blur', () => held.clear());
  line.addEventListener('keydown', (e) => {
    if (e.key === 'Enter') { if (setPose(line.value)) line.blur(); e.stopPropagation(); }
  });
  canvas.addEventListener('click', () => canvas.requestPointerLock?.());
  addEventListener('mousemove', (e) => {
    if (document.pointerLockElement !== canvas) return;
    pose.yaw += e.movementX * degreesPerPixel;
    pose.pitch += e.movementY * degreesPerPixel;
  });
}

// As the viewer moves: forward along the view (climbing with it), sideways in the level's plane.
function fly(seconds) {
  const ahead = (held.has('KeyW') ? 1 : 0) - (held.has('KeyS') ? 1 : 0);
  const left = (held.has('KeyA') ? 1 : 0) - (held.has('KeyD') ? 1 : 0);
  const f = forward();
  pose.x += f.x * ahead * speed * seconds;
  pose.y += f.y * ahead * speed * seconds;
  pose.z += f.z * ahead * speed * seconds;
  pose.x += -Math.cos(radians(pose.yaw)) * left * speed * seconds;
  pose.y += Math.sin(radians(pose.yaw)) * left * speed * seconds;
}

async function start() {
  THREE.ColorManagement.enabled = false;
  const renderer = new THREE.WebGLRenderer({ antialias: false, preserveDrawingBuffer: true });
  renderer.setPixelRatio(fixedSize ? 1 : devicePixelRatio);
  renderer.outputColorSpace = THREE.LinearSRGBColorSpace;
  document.getElementById('view').appendChild(renderer.domElement);
  const { scene: level, spawns, sky } = await loadLevel();
  const scene = new THREE.Scene();
  scene.background = new THREE.Color(0, 0, 0);
  scene.add(level);
  if (sky) scene.add(sky);
  const camera = new THREE.PerspectiveCamera(info.fov, 1, 5 * info.scale, 20000 * info.scale);
  const resize = () => {
    const [w, h] = fixedSize ?? [innerWidth, innerHeight];
    renderer.setSize(w, h);
    camera.aspect = w / h;
    camera.updateProjectionMatrix();
  };
  resize();
  addEventListener('resize', resize);
  fillPanel(spawns);
  if (spawns.length) goToSpawn(spawns[0]);
  if (hash.get('pose')) setPose(hash.get('pose'));
  if (fixedSize && hash.get('pose')) document.body.classList.add('picture');
  listen(renderer.domElement);
  const line = document.getElementById('pose'), fps = document.getElementById('fps');
  let last = performance.now(), frames = 0, counted = last;
  const frame = (now) => {
    fly(Math.min(0.25, (now - last) / 1000));
    last = now;
    if (document.activeElement !== line) line.value = poseText();
    placeCamera(camera);
    sky?.position.copy(camera.position);
    renderer.render(scene, camera);
    ++frames;
    if (now - counted >= 1000) {
      fps.textContent = `${Math.round((frames * 1000) / (now - counted))} frames a second`;
      frames = 0;
      counted = now;
    }
  };
  frame(last);
  window.bspwalkFirstFrameMs = performance.now();
  const picture = renderer.domElement.toDataURL('image/png');
  renderer.setAnimationLoop(frame);
  return picture;
}

window.bspwalkPicture = start();
